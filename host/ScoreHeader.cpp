#include "host/ScoreHeader.h"

#include <cerrno>
#include <string>

#include "platform/errors.h"

namespace kalvorin::host {

namespace {

// The most of a line read at a time.
constexpr std::size_t kPiece = 256;
// The most of a header line held to see whether blanks after the score
// field's name end in its colon. A line whose blanks go on further is taken
// for the field: no sender's header needs that many, and holding them all
// would let one line take any amount of memory.
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

// Whether the header line, whose first pieces line holds, is a score field:
// its name in any letter case, any blanks, then the colon. The name and
// blanks alone up to the line's end count too, lest a reader take a
// continuation line for the value. Blanks are read on, a piece at a time,
// as far as they go.
bool is_score_field(Pieces& pieces, std::string& line, bool& ended) {
    if (line.size() < kFieldName.size()) return false;
    for (std::size_t i = 0; i < kFieldName.size(); ++i)
        if (ascii_lower(line[i]) != kFieldName[i]) return false;
    for (std::size_t i = kFieldName.size();; ++i) {
        if (i == line.size()) {
            if (ended || line.size() > kMaxHeld) return true;
            pieces.next(line, ended);
            if (i == line.size()) return true;
        }
        if (!is_blank(line[i])) return line[i] == ':' || line[i] == '\r' || line[i] == '\n';
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
    Pieces pieces(head, rest);
    std::string line;
    bool ended = true;
    const auto take = [&] {
        line.clear();
        return pieces.next(line, ended);
    };
    const auto copy_line = [&] {
        Pieces::write(out, line);
        while (!ended && take()) Pieces::write(out, line);
    };
    const auto drop_line = [&] {
        while (!ended && take()) {
        }
    };
    if (from_line_size(head) > 0 && take()) copy_line();
    if (field) {
        const std::string_view eol = line_end_of(head);
        Pieces::write(out, "X-Kalvorin-Score: " + std::to_string(field->score) + std::string(eol));
        // What follows is the body the scoring saw; nothing in it is a field.
        if (field->headerless) Pieces::write(out, eol);
    }
    bool dropping = false;
    while ((!field || !field->headerless) && take()) {
        // A piece cut short where the part held in memory ends goes on with
        // the input's next one, so that a field's name, or the empty line
        // that ends the header, is seen whole.
        if (!ended && line.size() < kPiece) pieces.next(line, ended);
        if (line == "\n" || line == "\r\n") {  // the header ends
            Pieces::write(out, line);
            break;
        }
        if (!is_blank(line[0])) dropping = is_score_field(pieces, line, ended);
        if (dropping) drop_line();
        else copy_line();
    }
    pieces.copy_rest(out);
    errno = 0;
    if (std::fflush(out) != 0) Pieces::output_failed();
}

}  // namespace kalvorin::host
