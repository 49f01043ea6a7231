#include "inspect/LogReader.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <iterator>
#include <utility>

#include "CodigoComun/DumpEnds.h"
#include "CodigoComun/FileNames.h"
#include "CodigoComun/FilterPlan.h"
#include "CodigoComun/ListPass.h"
#include "CodigoComun/LogField.h"
#include "CodigoComun/LogLines.h"
#include "platform/textfile.h"

namespace kalvorin::inspect {

namespace {

constexpr std::size_t npos = std::string_view::npos;

constexpr std::string_view kCrLf = "\r\n";
using namespace log_lines;

// The log trims a line, so a label stands without its final blank when
// nothing follows it.
constexpr std::string_view without_blank(std::string_view label) { return label.substr(0, label.size() - 1); }

constexpr std::size_t kSender = host_index(kPartSender);
constexpr std::size_t kSubject = host_index(kPartSubject);

// What the lines before a dump say of its parts, by host order: the host's
// counts, and the dumped lengths of the texts that hold what would else end
// them early.
struct Announced {
    std::array<std::optional<std::int32_t>, kPartCount> count;
    std::array<std::optional<std::size_t>, kPartCount> dumped;
};

// A decimal number as the log writes it: an optional minus sign and digits,
// within 32 bits.
std::optional<std::int32_t> parse_int32(std::string_view s) {
    const bool negative = s.starts_with('-');
    if (negative) s.remove_prefix(1);
    if (s.empty() || s.size() > 10) return std::nullopt;
    std::int64_t v = 0;
    for (const char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (negative) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(v);
}

struct IdxLine {
    std::size_t host = 0;
    std::int32_t value = 0;
    bool dumped = false;  // a dumped length, not the host's count
};

// "IDX: " + part number + " I       : " + count, or + " D       : " + dumped length.
std::optional<IdxLine> parse_idx(std::string_view text) {
    if (!text.starts_with(kIdx)) return std::nullopt;
    text.remove_prefix(kIdx.size());
    for (const auto& [mid, dumped] : {std::pair(kIdxCount, false), std::pair(kIdxDumped, true)}) {
        const std::size_t at = text.find(mid);
        if (at == npos) continue;
        const std::optional<std::int32_t> part = parse_int32(text.substr(0, at));
        const std::optional<std::int32_t> value = parse_int32(text.substr(at + mid.size()));
        if (!part || !value || !is_part_number(*part) || (dumped && *value < 0)) return std::nullopt;
        return IdxLine{host_index(*part), *value, dumped};
    }
    return std::nullopt;
}

bool blank(char c) { return static_cast<unsigned char>(c) <= 32; }
bool all_blank(std::string_view s) { return std::all_of(s.begin(), s.end(), blank); }

// Whether a text can be a part as the dump writes it: trimmed.
bool dumped_form(std::string_view text) { return text.empty() || (!blank(text.front()) && !blank(text.back())); }

Recovery judge(std::size_t length, std::optional<std::int32_t> count) {
    if (!count || *count <= 0) return length == 0 ? Recovery::whole : Recovery::uncertain;
    const auto c = static_cast<std::size_t>(*count);
    if (length == c) return Recovery::whole;
    if (c > kPartCap && length == kPartCap) return Recovery::capped;
    return length < c ? Recovery::trimmed : Recovery::uncertain;
}

// The first occurrence of a needle at or after a position. Asked at
// positions that never go back, it reads the log about once in all.
class Finder {
public:
    Finder(std::string_view log, std::string needle) : log_(log), needle_(std::move(needle)) {}
    const std::string& needle() const { return needle_; }
    std::size_t at_or_after(std::size_t from) {
        if (!asked_ || from < from_ || (found_ != npos && found_ < from)) found_ = log_.find(needle_, from);
        asked_ = true;
        from_ = from;
        return found_;
    }

private:
    std::string_view log_;
    std::string needle_;
    bool asked_ = false;
    std::size_t from_ = 0, found_ = npos;
};

struct Line {
    std::string_view text;  // without its line end
    std::size_t next = 0;   // where the next line begins
    // The log's last line may have no line end yet, still being written:
    // its score may be missing digits.
    bool ended = false;
};

// The plug-in's own lines that the parse looks at are far shorter than this:
// what lies this far from the end of a piece is read as the whole log would
// read it.
constexpr std::size_t kUnsettled = 4096;

// The messages taken apart from the start of a piece of the log, and where
// the parse can start again with nothing carried over.
struct Parsed {
    std::vector<LoggedMessage> messages;
    std::size_t settled = 0;
};

class Parser {
public:
    // at_end: the log ends where the piece does; otherwise only what the rest
    // of the log cannot change is given.
    Parser(std::string_view log, bool at_end) : log_(log), at_end_(at_end) {
        for (std::size_t k = 0; k < kDump.size(); ++k)
            for (const std::string& ender : dump_enders(k)) enders_[k].emplace_back(log, ender);
    }

    Parsed messages() {
        Parsed out;
        std::size_t kept = 0;
        const std::size_t limit = at_end_ ? log_.size() : log_.size() - std::min(log_.size(), kUnsettled);
        // Between two lines with nothing announced, the parse from here on
        // depends on nothing before.
        auto settle = [&](std::size_t pos) {
            if (pos > limit) return;
            out.settled = pos;
            kept = out.messages.size();
        };
        Announced announced{};
        std::size_t lowest = 0;  // the lowest part the next count of the run may be for
        for (std::size_t pos = 0; pos < log_.size() && pos <= limit;) {
            const Line l = line_at(pos);
            if (const std::optional<std::size_t> text = dump_text(l)) {
                LoggedMessage m;
                m.host_length = announced.count;
                std::size_t end = 0;
                if (!read_dump(*text, announced.dumped, m, end)) break;  // no later dump can be whole either
                pos = read_account(end, m);
                out.messages.push_back(std::move(m));
                announced = {};
                lowest = 0;
                settle(pos);
                continue;
            }
            // A message's counts come in part order right before its dump,
            // then the dumped lengths that it gives; any other line ends a
            // run of them.
            const std::optional<IdxLine> idx = parse_idx(l.text);
            if (!idx || (!idx->dumped && idx->host < lowest)) {
                announced = {};
                lowest = 0;
            }
            if (idx && idx->dumped) {
                announced.dumped[idx->host] = static_cast<std::size_t>(idx->value);
                lowest = kDump.size();  // no count comes after a dumped length
            } else if (idx) {
                announced.count[idx->host] = idx->value;
                lowest = idx->host + 1;
            }
            pos = l.next;
            if (!idx) settle(pos);
        }
        if (at_end_) {
            out.settled = log_.size();
            kept = out.messages.size();
        }
        out.messages.resize(kept);
        return out;
    }

private:
    std::string_view from(std::size_t pos) const { return pos < log_.size() ? log_.substr(pos) : std::string_view(); }

    Line line_at(std::size_t pos) const {
        const std::size_t lf = log_.find('\n', pos);
        if (lf == npos) return {log_.substr(pos), log_.size(), false};
        const bool crlf = lf > pos && log_[lf - 1] == '\r';
        return {log_.substr(pos, lf - pos - (crlf ? 1 : 0)), lf + 1, true};
    }

    // Where the sender's text begins when the line opens a part dump.
    std::optional<std::size_t> dump_text(const Line& l) const {
        if (l.text != kDump[0].banner) return std::nullopt;
        const Line second = line_at(l.next);
        if (second.text != kDump[0].banner) return std::nullopt;
        return second.next;
    }

    bool starts_message(const Line& l) const {
        return l.text == kNewMail || parse_idx(l.text) || dump_text(l);
    }

    struct End {
        std::size_t at = npos;    // npos: the log ends before it
        std::size_t next = npos;  // where the next text, or the line after the raw message, begins
        bool sure = true;         // false: the log contradicts itself here
        bool open = false;        // the raw message that ends the log, nothing after it
    };

    // Whether the log may end inside part k's text, or right after it: the
    // raw message of a message whose scoring never got past its dump.
    bool may_end_log(std::size_t k) const { return at_end_ && k + 1 == kDump.size(); }

    End ended_by(std::size_t k, std::size_t at, const Finder& ender, bool sure) const {
        return {at, at + (k + 1 < kDump.size() ? ender.needle().size() : kCrLf.size()), sure};
    }

    // Where part k's text, from pos on, ends: at the first of the lines that
    // follow a text, unless the log gave its dumped length. A length that no
    // such line follows is not the plug-in's, and the first is taken then.
    // The log's end ends no text: it may be cut short there.
    End part_end(std::size_t k, std::size_t pos, std::optional<std::size_t> dumped) {
        if (dumped) {
            if (*dumped > log_.size() - pos) return {};
            const std::string_view after = from(pos + *dumped);
            bool cut = false;
            for (const Finder& f : enders_[k]) {
                if (after.starts_with(f.needle())) return ended_by(k, pos + *dumped, f, true);
                cut = cut || std::string_view(f.needle()).starts_with(after);
            }
            if (cut) return may_end_log(k) ? End{pos + *dumped, log_.size(), true, true} : End{};
        }
        End end;
        for (Finder& f : enders_[k])
            if (const std::size_t at = f.at_or_after(pos); at < end.at) end = ended_by(k, at, f, !dumped);
        // The raw message runs to the log's last line end, where the log may
        // have been read while it was being written: only its count can vouch
        // that none of it is missing.
        if (const std::size_t last = log_.rfind(kCrLf); end.at == npos && may_end_log(k) && last != npos && last >= pos)
            return {last, log_.size(), false, true};
        return end;
    }

    // The six texts from the sender's on; end: where the line after the raw
    // message's begins. False when the log ends before that line.
    bool read_dump(std::size_t pos, const std::array<std::optional<std::size_t>, kPartCount>& dumped, LoggedMessage& m,
                   std::size_t& end) {
        for (std::size_t k = 0; k < kDump.size(); ++k) {
            const std::size_t h = host_index(kDump[k].part);
            const End e = part_end(k, pos, dumped[h]);
            if (e.at == npos) return false;
            m.parts[h] = std::string(log_.substr(pos, e.at - pos));
            const Recovery judged = judge(m.parts[h].size(), m.host_length[h]);
            if (e.open && !e.sure) m.recovery[h] = judged == Recovery::whole ? judged : Recovery::uncertain;
            else m.recovery[h] = e.sure && dumped_form(m.parts[h]) ? judged : Recovery::uncertain;
            pos = e.next;
        }
        end = pos;
        return true;
    }

    // The list pass and the summary; where the next message may begin.
    // The error that stopped the message is the line right before its
    // summary, or the account's last line when the summary is missing.
    std::size_t read_account(std::size_t pos, LoggedMessage& m) const {
        while (pos < log_.size()) {
            const Line l = line_at(pos);
            if (l.text == kRule) {
                if (const std::optional<std::size_t> end = read_summary(l.next, m)) return *end;
            } else if (starts_message(l)) {
                return pos;
            }
            m.stopped.reset();
            if (l.ended && l.text.starts_with(kStopped)) m.stopped = std::string(l.text.substr(kStopped.size()));
            pos = l.next;
        }
        return pos;
    }

    struct Labelled {
        std::string lead;  // the part's leading blanks, which the dump trimmed
        std::size_t next = 0;
    };

    // label + the part on one line, trimmed at its end: the dump's text with
    // the blanks that led it. An empty part is shown as ":".
    std::optional<Labelled> labelled(std::size_t pos, std::string_view label, const std::string& dumped) const {
        const Line l = line_at(pos);
        if (!l.ended || !l.text.starts_with(without_blank(label))) return std::nullopt;
        const std::string_view rest = l.text.substr(label.size() - 1);
        if (!rest.empty() && !rest.starts_with(' ')) return std::nullopt;
        const std::optional<std::string> shown = from_one_line(rest.empty() ? rest : rest.substr(1));
        if (!shown) return std::nullopt;
        if (dumped.empty()) {
            if (*shown != ":" && !all_blank(*shown)) return std::nullopt;
            return Labelled{{}, l.next};
        }
        const std::string_view text = *shown;
        const std::size_t lead = std::find_if_not(text.begin(), text.end(), blank) - text.begin();
        if (text.substr(lead, dumped.size()) != dumped || !all_blank(text.substr(lead + dumped.size())))
            return std::nullopt;
        return Labelled{std::string(text.substr(0, lead)), l.next};
    }

    // The summary after its first rule line, up to the score; where the line
    // after the score begins.
    std::optional<std::size_t> read_summary(std::size_t pos, LoggedMessage& m) const {
        const Line resume = line_at(pos);
        if (resume.text != without_blank(kResume)) return std::nullopt;
        const std::optional<Labelled> sender = labelled(resume.next, kSenderLabel, m.parts[kSender]);
        if (!sender) return std::nullopt;
        const std::optional<Labelled> subject = labelled(sender->next, kSubjectLabel, m.parts[kSubject]);
        if (!subject) return std::nullopt;
        const Line score = line_at(subject->next);
        if (!score.ended || !score.text.starts_with(kScoreLabel)) return std::nullopt;
        const std::optional<std::int32_t> logged = parse_int32(score.text.substr(kScoreLabel.size()));
        if (!logged) return std::nullopt;
        m.logged_score = logged;
        for (const auto& [h, lead] : {std::pair(kSender, &sender->lead), std::pair(kSubject, &subject->lead)}) {
            m.parts[h].insert(0, *lead);
            if (m.recovery[h] != Recovery::uncertain) m.recovery[h] = judge(m.parts[h].size(), m.host_length[h]);
        }
        return score.next;
    }

    std::string_view log_;
    bool at_end_;
    std::array<std::vector<Finder>, kDump.size()> enders_;  // what may follow each part's text
};

// "2 characters", or "at least 2 characters" when the log cannot say how many.
std::string characters(std::size_t n, bool known, const Wording& w) {
    const Told count = known ? (n == 1 ? Told::one_character : Told::characters)
                             : (n == 1 ? Told::at_least_one_character : Told::at_least_characters);
    return told(count, w, {std::to_string(n)});
}

// How many bytes the log trimmed from a trimmed part: below the cap's length
// the log cannot say whether the cap cut the part, and the least is taken.
std::size_t trimmed_count(const LoggedMessage& m, std::size_t h, bool& known) {
    const auto count = static_cast<std::size_t>(*m.host_length[h]);
    const std::size_t length = m.parts[h].size();
    known = count <= kPartCap || length > kPartCap;
    return (known ? count : kPartCap) - length;
}

bool same_line(const std::optional<LineAt>& a, const std::optional<LineAt>& b) {
    return a.has_value() == b.has_value() && (!a || (a->list == b->list && a->number == b->number));
}

bool same_verdict(const Verdict& a, const Verdict& b) {
    return a.score == b.score && same_line(a.decided, b.decided) && same_line(a.stopped, b.stopped) &&
           a.error == b.error;
}

// keep: whether a trimmed part's note is said.
std::vector<std::string> notes_of(const LoggedMessage& m, const std::function<bool(std::size_t)>& keep,
                                  const Wording& w) {
    std::vector<std::string> notes;
    for (std::size_t k = 0; k < kHostIndexOf.size(); ++k) {
        const std::size_t h = kHostIndexOf[k];
        const std::string part(kFieldKeywords[k]);
        switch (m.recovery[h]) {
            case Recovery::whole: break;
            case Recovery::capped:
                notes.push_back(told(Told::note_capped, w, {part, std::to_string(*m.host_length[h])}));
                break;
            case Recovery::trimmed: {
                if (!keep(h)) break;
                bool known = true;
                const std::size_t n = trimmed_count(m, h, known);
                notes.push_back(told(Told::note_trimmed, w, {part, characters(n, known, w)}));
                break;
            }
            case Recovery::uncertain:
                notes.push_back(told(Told::note_uncertain, w, {part}));
                break;
        }
    }
    return notes;
}

}  // namespace

bool LoggedMessage::whole(std::size_t part) const {
    return recovery[part] == Recovery::whole || recovery[part] == Recovery::capped;
}

std::vector<LoggedMessage> parse_log(std::string_view log) { return Parser(log, true).messages().messages; }

std::vector<LoggedMessage> read_log(const std::string& path) {
    return parse_log(platform::read_file(path, platform::Place::BaseFolder));
}

LogTail parse_log_tail(const NextPiece& next, std::size_t how_many, std::size_t piece) {
    LogTail tail;
    std::deque<LoggedMessage> kept;
    std::string held;  // the log from where the parse starts again
    for (bool at_end = false; !at_end;) {
        // At least as much again as is held, so that a message longer than a
        // piece is taken apart again only a few times.
        const std::size_t want = std::max(piece, held.size());
        at_end = next(held, want) < want;
        Parsed p = Parser(held, at_end).messages();
        tail.total += p.messages.size();
        for (LoggedMessage& m : p.messages) {
            kept.push_back(std::move(m));
            if (kept.size() > how_many) kept.pop_front();
        }
        held.erase(0, p.settled);
    }
    tail.messages.assign(std::make_move_iterator(kept.begin()), std::make_move_iterator(kept.end()));
    return tail;
}

LogTail read_log_tail(const std::string& path, std::size_t how_many) {
    constexpr std::size_t kPiece = std::size_t{4} << 20;
    platform::PieceReader file(path, platform::Place::BaseFolder);
    return parse_log_tail([&](std::string& out, std::size_t n) { return file.append(out, n); }, how_many, kPiece);
}

SeenMessage see(const LoggedMessage& m, const PassSettings& settings) {
    SeenMessage seen = see(m.parts, settings);
    for (std::size_t k = 0; k < kHostIndexOf.size(); ++k) {
        const std::size_t h = kHostIndexOf[k];
        if (m.recovery[h] == Recovery::capped) seen.cut_from[k] = static_cast<std::size_t>(*m.host_length[h]);
    }
    return seen;
}

std::vector<std::string> part_notes(const LoggedMessage& m, const Wording& w) {
    return notes_of(m, [](std::size_t) { return true; }, w);
}

bool trimmed_ends_matter(const Evaluation& ev, const LoggedMessage& m, std::size_t h) {
    bool known = true;
    const std::size_t n = trimmed_count(m, h, known);
    const Verdict logged = ev.score(see(m, ev.settings()));
    LoggedMessage restored = m;
    std::string line_ends;
    while (line_ends.size() < n) line_ends += kCrLf;
    for (const std::string& part :
         {m.parts[h] + line_ends.substr(0, n), std::string(n, ' ') + m.parts[h]}) {
        restored.parts[h] = part;
        if (!same_verdict(ev.score(see(restored, ev.settings())), logged)) return true;
    }
    return false;
}

std::vector<std::string> part_notes(const LoggedMessage& m, const Evaluation& ev, const Wording& w) {
    return notes_of(m, [&](std::size_t h) { return trimmed_ends_matter(ev, m, h); }, w);
}

}  // namespace kalvorin::inspect
