#include "host/ScoreHeader.h"

#include <cerrno>
#include <string>
#include <utility>

#include "platform/errors.h"

namespace kalvorin::host {

namespace {

// The most of a line read at a time.
constexpr std::size_t kPiece = 256;
// The most of a line's start held while its kind is still open. A line that
// goes on further with nothing but CRs, the score field's name and blanks is
// taken for the field: no sender's header needs that many, and holding them
// all would let one line take any amount of memory.
constexpr std::size_t kMaxHeld = std::size_t{64} << 10;

constexpr const char* kOutput = "standard output";
constexpr std::string_view kFieldName = "x-kalvorin-score";

// The message as pieces of lines: the bytes held in memory, then the input's.
class Pieces {
public:
    Pieces(std::string_view head, platform::LineReader* rest) : head_(head), rest_(rest) {}

    // Appends to piece at most kPiece further bytes of the current line;
    // ended says whether they finish it. False, and ended, when nothing is
    // left.
    bool next(std::string& piece, bool& ended) {
        if (!head_.empty()) {
            const std::string_view ahead = head_.substr(0, kPiece);
            const std::size_t nl = ahead.find('\n');
            const std::size_t n = nl == std::string_view::npos ? ahead.size() : nl + 1;
            piece.append(head_.substr(0, n));
            head_.remove_prefix(n);
            ended = piece.back() == '\n' || (head_.empty() && !rest_);
            return true;
        }
        const auto r = rest_ ? rest_->next(piece, kPiece) : platform::LineReader::Read::End;
        ended = r != platform::LineReader::Read::Cut;
        return r != platform::LineReader::Read::End;
    }

    void copy_rest(std::FILE* out) {
        write(out, head_);
        head_ = {};
        if (rest_) rest_->copy_rest(out);
    }

    static void write(std::FILE* out, std::string_view text) {
        errno = 0;
        if (!text.empty() && std::fwrite(text.data(), 1, text.size(), out) != text.size()) output_failed();
    }

    [[noreturn]] static void output_failed() {
        const int err = errno ? errno : EIO;
        throw EInOutError(platform::io_message(err, kOutput), kOutput);
    }

private:
    std::string_view head_;
    platform::LineReader* rest_;
};

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool is_blank(char c) { return c == ' ' || c == '\t'; }

// A header line as the delivery programs read it, taken together: procmail
// ends the header only at a bare LF line, so a CR LF message may have no
// body for it; maildrop drops every CR from the header and ends a field's
// name at a NUL; every reader joins a line that begins with a blank to the
// field before.
enum class Kind { Other, ScoreField, Continuation, HeaderEnd };

// Tells a line's kind from its first bytes, given as they come.
class LineStart {
public:
    // The kind, once the bytes given so far tell it.
    std::optional<Kind> feed(std::string_view bytes) {
        for (const char c : bytes)
            if (const auto kind = take(c)) return kind;
        return std::nullopt;
    }

    // The kind of a line that the input's end cuts off after what was given.
    Kind at_end() const { return matched_ == kFieldName.size() ? Kind::ScoreField : Kind::Other; }

private:
    std::optional<Kind> take(char c) {
        const bool first = std::exchange(first_, false);
        if (first && c == '\n') return Kind::HeaderEnd;
        if (c == '\r') return std::nullopt;
        if (matched_ == kFieldName.size()) {
            if (is_blank(c)) return std::nullopt;
            // The name and blanks alone count too: a Sieve filter may take
            // the line for a field without a value, and a reader that joins
            // may find the colon on a continuation line.
            return c == ':' || c == '\0' || c == '\n' ? Kind::ScoreField : Kind::Other;
        }
        if (matched_ == 0 && is_blank(c)) return Kind::Continuation;  // after CRs at most
        if (ascii_lower(c) != kFieldName[matched_]) return Kind::Other;
        ++matched_;
        return std::nullopt;
    }

    bool first_ = true;
    std::size_t matched_ = 0;  // bytes of the name met so far
};

// The lines of the message, each read only as far as needed to tell its kind.
class Lines {
public:
    Lines(std::string_view head, platform::LineReader* rest) : pieces_(head, rest) {}

    // Reads the start of the next line until its kind is known; nothing at
    // the message's end.
    std::optional<Kind> next() {
        held_.clear();
        LineStart start;
        for (std::size_t seen = 0; pieces_.next(held_, ended_); seen = held_.size()) {
            if (const auto kind = start.feed(std::string_view(held_).substr(seen))) return kind;
            if (ended_) return start.at_end();
            if (held_.size() > kMaxHeld) return Kind::ScoreField;
        }
        if (held_.empty()) return std::nullopt;
        return start.at_end();
    }

    // Writes the line that next() began on to out, whole.
    void copy(std::FILE* out) {
        Pieces::write(out, held_);
        for (held_.clear(); !ended_ && pieces_.next(held_, ended_); held_.clear()) Pieces::write(out, held_);
    }

    // Passes over the rest of the line that next() began.
    void drop() {
        for (held_.clear(); !ended_ && pieces_.next(held_, ended_); held_.clear()) {
        }
    }

    void copy_rest(std::FILE* out) { pieces_.copy_rest(out); }

private:
    Pieces pieces_;
    std::string held_;
    bool ended_ = true;
};

// Copies the header on up to the line that ends it for every reader, without
// the score fields and the lines that continue them. after_field says that
// the header's first line would continue the score field just written.
void copy_header(Lines& lines, std::FILE* out, bool after_field) {
    bool dropping = after_field;
    while (const auto kind = lines.next()) {
        if (*kind != Kind::Continuation) dropping = *kind == Kind::ScoreField;
        if (dropping) lines.drop();
        else lines.copy(out);
        if (*kind == Kind::HeaderEnd) return;
    }
}

// The size of the mbox "From " line at the top of raw, with its line end; 0
// when there is none.
std::size_t from_line_size(std::string_view raw) {
    if (!raw.starts_with("From ")) return 0;
    const std::size_t nl = raw.find('\n');
    return nl == std::string_view::npos ? 0 : nl + 1;
}

// The line ending of the message's first line after any "From " line, as far
// as it is held; LF when there is none.
std::string_view line_end_of(std::string_view head) {
    const std::string_view header = without_from_line(head);
    const std::size_t nl = header.find('\n');
    return nl != std::string_view::npos && nl > 0 && header[nl - 1] == '\r' ? "\r\n" : "\n";
}

}  // namespace

std::string_view without_from_line(std::string_view raw) { return raw.substr(from_line_size(raw)); }

bool is_headerless(const MessageParts& parts, std::string_view message) {
    return parts[kPartHeader].empty() && !message.starts_with("\n") && !message.starts_with("\r\n");
}

void write_message(std::FILE* out, std::string_view head, platform::LineReader* rest,
                   std::optional<ScoreField> field) {
    Lines lines(head, rest);
    if (from_line_size(head) > 0 && lines.next()) lines.copy(out);
    bool header_ended = false;
    if (field) {
        const std::string_view eol = line_end_of(head);
        Pieces::write(out, "X-Kalvorin-Score: " + std::to_string(field->score) + std::string(eol));
        // What follows is the body the scoring saw. A CR LF empty line ends
        // the header for all but procmail, which reads on as far as a bare LF
        // one.
        if (field->headerless) {
            Pieces::write(out, eol);
            header_ended = eol == "\n";
        }
    }
    if (!header_ended) copy_header(lines, out, field && !field->headerless);
    lines.copy_rest(out);
    errno = 0;
    if (std::fflush(out) != 0) Pieces::output_failed();
}

}  // namespace kalvorin::host
