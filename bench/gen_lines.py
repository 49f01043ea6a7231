#!/usr/bin/env python3
"""Filter lines for the speed table, in the mix that users' lists have: texts
looked for (contains), whole words and patterns on the six parts, and some
lines that tie two or three tests together with * (and) or + (or).

usage: gen_lines.py N OUT.txt [--seed S] [--every-line] [--contains-only]

  --every-line     each line is tied by * to a test that never holds, so no
                   line decides and every line is tried for every message
  --contains-only  only lines of one contains test

The same N and seed give the same lines. The file is a trash list: a comment
line, then one filter line a line, CR LF, Windows-1252.
"""
import argparse
import random

# Where the tests look, and how often: the body and the raw message most.
PARTS = [("sbjct", 20), ("snder", 10), ("headr", 10), ("mbody", 35), ("attch", 5), ("rwmsg", 20)]

# Words that few messages hold, so that a test of one rarely holds.
RARE = """lottery jackpot sweepstakes inheritance beneficiary casino roulette
pharmacy prescription refinance mortgage diploma replica wristwatch toner
bitcoin wallet unclaimed millionaire miracle wrinkle slimming supplement
webinar liquidation wholesale clearance sweepstake password suspended
verify invoice overdue remittance confidential urgent beneficiary""".split()
# Ordinary words, met in much mail: only in pairs and patterns.
COMMON = """free offer click order today limited time save sale gift card credit
rate income business home work online meeting agenda report release review
schedule project team call weekend photos draft question answer server update
build error package list email address website domain software license
install travel health doctor account bank payment member newsletter""".split() + RARE
SENDERS = "sales promo offers billing alerts support noreply newsletter winner deals".split()
ATTACHMENTS = ".exe .scr .zip .rar .pdf .doc .xls .jpg .htm invoice setup scan".split()
HEADERS = """x-mailer: bulk|precedence: bulk|list-unsubscribe:|x-priority: 1|
importance: high|content-type: text/html|x-originating-ip:|reply-to:|
errors-to:|x-campaign:""".replace("\n", "").split("|")

# A test that no message passes: the mix's own texts never contain it.
NEVER = "snder=#zz-kalvorin-bench-never-zz#"


def pattern(rng, part):
    """A regular expression of the kinds lists use, as the pattern mode takes it."""
    word = lambda: rng.choice(COMMON)  # noqa: E731
    if part == "attch":
        return r"\.(%s)$" % "|".join(rng.sample(["exe", "scr", "zip", "rar", "pif", "bat"], 3))
    if part == "snder":
        return r"%s[0-9]*@" % rng.choice(SENDERS)
    return rng.choice([
        lambda: r"%s\s+%s" % (word(), word()),
        lambda: r"\b(%s|%s|%s)\b" % (word(), word(), word()),
        lambda: r"%s.{0,20}%s" % (word(), word()),
        lambda: r"[0-9]{3}-[0-9]{4}",
        lambda: r"https?://[a-z0-9.]*%s" % word(),
        lambda: r"\$[0-9]+\.[0-9][0-9]",
        lambda: r"%s!!+" % word(),
        lambda: r"[A-Z]{%d,}" % rng.randint(8, 12),
    ])()


def one_test(rng, kind=None):
    part = rng.choices([p for p, _ in PARTS], [w for _, w in PARTS])[0]
    kind = kind or rng.choices(["contains", "word", "pattern"], [45, 30, 25])[0]
    if kind == "pattern":
        # With the upper-case option on (the default) a part is matched in
        # upper case: (?i) lets a pattern written in lower case find it.
        return "%s=%%(?i)%s%%" % (part, pattern(rng, part))
    if part == "attch":
        text = rng.choice(ATTACHMENTS)
    elif part == "snder":
        text = rng.choice(SENDERS)
    elif part == "headr" and kind == "contains":
        text = rng.choice(HEADERS)
    elif kind == "word" or rng.random() < 0.5:
        text = rng.choice(RARE)
    else:
        text = "%s %s" % (rng.choice(COMMON), rng.choice(COMMON))
    if kind == "word":
        return '%s="%s"' % (part, text.strip("."))
    return "%s=#%s#" % (part, text)


def lines(n, seed, contains_only):
    rng = random.Random(seed)
    for _ in range(n):
        if contains_only:
            yield one_test(rng, "contains")
        elif rng.random() < 0.10:
            tie = rng.choice("*+")
            yield "(" + tie.join(one_test(rng) for _ in range(rng.choice([2, 2, 3]))) + ")"
        else:
            yield one_test(rng)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("n", type=int)
    ap.add_argument("out")
    ap.add_argument("--seed", type=int, default=7)
    ap.add_argument("--every-line", action="store_true")
    ap.add_argument("--contains-only", action="store_true")
    a = ap.parse_args()
    body = [":speed table"]
    for line in lines(a.n, a.seed, a.contains_only):
        body.append("(%s)*%s" % (line, NEVER) if a.every_line else line)
    with open(a.out, "wb") as f:
        f.write("".join(l + "\r\n" for l in body).encode("cp1252"))


if __name__ == "__main__":
    main()
