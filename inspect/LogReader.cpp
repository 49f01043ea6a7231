#include "inspect/LogReader.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "CodigoComun/FileNames.h"
#include "CodigoComun/FilterPlan.h"
#include "CodigoComun/ListPass.h"
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

constexpr std::size_t kSender = kPartSender - kPartHeader;
constexpr std::size_t kSubject = kPartSubject - kPartHeader;

using Counts = std::array<std::optional<std::int32_t>, 6>;

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
    std::int32_t count = 0;
};

// "IDX: " + part number + " I       : " + count.
std::optional<IdxLine> parse_idx(std::string_view text) {
    if (!text.starts_with(kIdx)) return std::nullopt;
    text.remove_prefix(kIdx.size());
    const std::size_t mid = text.find(kIdxCount);
    if (mid == npos) return std::nullopt;
    const std::optional<std::int32_t> part = parse_int32(text.substr(0, mid));
    const std::optional<std::int32_t> count = parse_int32(text.substr(mid + kIdxCount.size()));
    if (!part || !count || *part < kPartHeader || *part > kPartRawMessage) return std::nullopt;
    return IdxLine{static_cast<std::size_t>(*part - kPartHeader), *count};
}

// The text lengths at which a part is exactly as the plug-in held it.
std::array<std::size_t, 2> exact_lengths(std::optional<std::int32_t> count) {
    if (!count || *count <= 0) return {0, 0};
    const auto c = static_cast<std::size_t>(*count);
    return {std::min(c, kPartCap), c};
}

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

class Parser {
public:
    explicit Parser(std::string_view log) : log_(log), list_(log, crlf(first_list())), stopped_(log, crlf(kStopped)) {
        for (std::size_t k = 1; k < kDump.size(); ++k) {
            const std::string banner(kDump[k].banner);
            banner_pairs_.emplace_back(log, "\r\n" + banner + "\r\n" + banner + "\r\n");
        }
    }

    std::vector<LoggedMessage> messages() {
        std::vector<LoggedMessage> out;
        Counts counts{};
        std::size_t lowest = 0;  // the lowest part the next count of the run may be for
        for (std::size_t pos = 0; pos < log_.size();) {
            const Line l = line_at(pos);
            if (const std::optional<std::size_t> text = dump_text(l)) {
                LoggedMessage m;
                m.host_length = counts;
                std::size_t end = 0;
                if (!read_dump(*text, m, end)) break;  // no later dump can be whole either
                pos = read_account(end, m);
                out.push_back(std::move(m));
                counts = {};
                lowest = 0;
                continue;
            }
            // A message's counts come in part order right before its dump;
            // any other line ends a run of them.
            const std::optional<IdxLine> idx = parse_idx(l.text);
            if (!idx || idx->host < lowest) counts = {};
            if (idx) counts[idx->host] = idx->count;
            lowest = idx ? idx->host + 1 : 0;
            pos = l.next;
        }
        return out;
    }

private:
    static std::string first_list() { return std::string(kListNames[0]) + kCompiledSuffix + "\r\n"; }
    static std::string crlf(std::string_view s) { return "\r\n" + std::string(s); }

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

    // Whether part k's text can end at pos: the next banner twice, or after
    // the raw message the first list's name or an error. The log's end does
    // not end a raw message: it may be cut short there.
    bool ends_part(std::size_t k, std::size_t pos) const {
        if (k + 1 < kDump.size()) return from(pos).starts_with(banner_pairs_[k].needle());
        return from(pos).starts_with(list_.needle()) || from(pos).starts_with(stopped_.needle());
    }

    // Where part k's text, from pos on, ends: preferably where its length is
    // the one its count gives, so that a banner-like line inside it is not
    // taken for the next banner; else at the first place it can. npos when
    // the log ends first.
    std::size_t part_end(std::size_t k, std::size_t pos, std::optional<std::int32_t> count) {
        for (const std::size_t length : exact_lengths(count))
            if (length <= log_.size() - pos && ends_part(k, pos + length)) return pos + length;
        const auto next = [&](std::size_t from) {
            if (k + 1 < kDump.size()) return banner_pairs_[k].at_or_after(from);
            return std::min(list_.at_or_after(from), stopped_.at_or_after(from));
        };
        std::size_t end = next(pos);
        if (!count || *count <= 0) return end;
        // A trimmed part came back shorter than its count, or than the cap: of
        // the places it can end within that, the last is taken, so that the
        // log's own lines inside it do not cut it short. Each part looks only
        // within its own text, so the log is still read once.
        const std::size_t limit = pos + std::min(static_cast<std::size_t>(*count), kPartCap);
        for (std::size_t later; end != npos && end < limit && (later = next(end + 1)) != npos && later <= limit;)
            end = later;
        return end;
    }

    // The six texts from the sender's on; end: where the line after the raw
    // message's begins. False when the log ends before that line.
    bool read_dump(std::size_t pos, LoggedMessage& m, std::size_t& end) {
        for (std::size_t k = 0; k < kDump.size(); ++k) {
            const std::size_t h = static_cast<std::size_t>(kDump[k].part - kPartHeader);
            const std::size_t e = part_end(k, pos, m.host_length[h]);
            if (e == npos) return false;
            m.parts[h] = std::string(log_.substr(pos, e - pos));
            m.recovery[h] = judge(m.parts[h].size(), m.host_length[h]);
            pos = e + (k + 1 < kDump.size() ? banner_pairs_[k].needle().size() : kCrLf.size());
        }
        end = pos;
        return true;
    }

    // The list pass and the summary; where the next message may begin.
    std::size_t read_account(std::size_t pos, LoggedMessage& m) const {
        while (pos < log_.size()) {
            const Line l = line_at(pos);
            if (l.text == kRule) {
                if (const std::optional<std::size_t> end = read_summary(l.next, m)) return *end;
            } else if (starts_message(l)) {
                return pos;
            }
            pos = l.next;
        }
        return pos;
    }

    struct Labelled {
        std::string_view lead;  // the part's leading blanks, which the dump trimmed
        std::size_t next = 0;
    };

    // label + the part trimmed at its end only: the dump's text with the
    // blanks that led it. An empty part is shown as ":".
    std::optional<Labelled> labelled(std::size_t pos, std::string_view label, const std::string& dumped) const {
        if (!from(pos).starts_with(label)) return std::nullopt;
        pos += label.size();
        if (dumped.empty()) {
            for (const std::string_view shown : {std::string_view(" :\r\n"), kCrLf})
                if (from(pos).starts_with(shown)) return Labelled{{}, pos + shown.size()};
            return std::nullopt;
        }
        if (!from(pos).starts_with(' ')) return std::nullopt;
        std::size_t text = ++pos;
        while (text < log_.size() && static_cast<unsigned char>(log_[text]) <= 32) ++text;
        if (!from(text).starts_with(dumped) || !from(text + dumped.size()).starts_with(kCrLf)) return std::nullopt;
        return Labelled{log_.substr(pos, text - pos), text + dumped.size() + kCrLf.size()};
    }

    // The summary after its first rule line, up to the score; where the line
    // after the score begins.
    std::optional<std::size_t> read_summary(std::size_t pos, LoggedMessage& m) const {
        const Line resume = line_at(pos);
        if (resume.text != without_blank(kResume)) return std::nullopt;
        const std::optional<Labelled> sender = labelled(resume.next, without_blank(kSenderLabel), m.parts[kSender]);
        if (!sender) return std::nullopt;
        const std::optional<Labelled> subject = labelled(sender->next, without_blank(kSubjectLabel), m.parts[kSubject]);
        if (!subject) return std::nullopt;
        const Line score = line_at(subject->next);
        if (!score.ended || !score.text.starts_with(kScoreLabel)) return std::nullopt;
        const std::optional<std::int32_t> logged = parse_int32(score.text.substr(kScoreLabel.size()));
        if (!logged) return std::nullopt;
        m.logged_score = logged;
        for (const auto& [h, lead] : {std::pair(kSender, sender->lead), std::pair(kSubject, subject->lead)}) {
            m.parts[h].insert(0, lead);
            m.recovery[h] = judge(m.parts[h].size(), m.host_length[h]);
        }
        return score.next;
    }

    std::string_view log_;
    std::vector<Finder> banner_pairs_;  // for the parts after the sender: "\r\n" + banner twice
    Finder list_, stopped_;             // what follows the raw message's line
};

std::string characters(std::size_t n) { return std::to_string(n) + (n == 1 ? " character" : " characters"); }

}  // namespace

bool LoggedMessage::whole(std::size_t part) const {
    return recovery[part] == Recovery::whole || recovery[part] == Recovery::capped;
}

std::vector<LoggedMessage> parse_log(std::string_view log) { return Parser(log).messages(); }

std::vector<LoggedMessage> read_log(const std::string& path) {
    return parse_log(platform::read_file(path, platform::Place::BaseFolder));
}

SeenMessage see(const LoggedMessage& m, const PassSettings& settings) {
    SeenMessage seen = see(m.parts, settings);
    for (std::size_t k = 0; k < kHostIndexOf.size(); ++k) {
        const std::size_t h = kHostIndexOf[k];
        if (m.recovery[h] == Recovery::capped) seen.cut_from[k] = static_cast<std::size_t>(*m.host_length[h]);
    }
    return seen;
}

std::vector<std::string> part_notes(const LoggedMessage& m) {
    std::vector<std::string> notes;
    for (std::size_t k = 0; k < kHostIndexOf.size(); ++k) {
        const std::size_t h = kHostIndexOf[k];
        const std::string part = std::string(kFieldKeywords[k]) + ": ";
        const std::size_t length = m.parts[h].size();
        switch (m.recovery[h]) {
            case Recovery::whole: break;
            case Recovery::capped:
                notes.push_back(part + "cut by the cap from " + std::to_string(*m.host_length[h]) +
                                " to 50000 bytes, as the filters saw it");
                break;
            case Recovery::trimmed: {
                // Below the cap's length the log cannot say whether the cap cut the part.
                const auto count = static_cast<std::size_t>(*m.host_length[h]);
                const bool known = count <= kPartCap || length > kPartCap;
                notes.push_back(part + "the log trimmed " + (known ? "" : "at least ") +
                                characters((known ? count : kPartCap) - length) +
                                " (blanks or line ends) from its ends; tests that look at them may answer differently");
                break;
            }
            case Recovery::uncertain:
                notes.push_back(part + "not recovered whole from the log; tests on it may answer differently");
                break;
        }
    }
    return notes;
}

}  // namespace kalvorin::inspect
