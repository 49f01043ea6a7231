#include "host/ScoreHeader.h"

#include <cerrno>
#include <string>

#include "platform/errors.h"

namespace kalvorin::host {

namespace {

// The most of a line read at a time.
constexpr std::size_t kPiece = 256;

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

enum class FieldKind { score, other, undecided };

// What a header line is, from its bytes so far: the score field is its name
// in any letter case, any blanks, then the colon. The name and blanks alone
// up to the line's end count too, lest a reader take a continuation line
// for its value.
FieldKind field_kind(std::string_view line, bool ended) {
    if (line.size() < kFieldName.size()) return FieldKind::other;
    for (std::size_t i = 0; i < kFieldName.size(); ++i)
        if (ascii_lower(line[i]) != kFieldName[i]) return FieldKind::other;
    std::size_t i = kFieldName.size();
    while (i < line.size() && is_blank(line[i])) ++i;
    if (i == line.size()) return ended ? FieldKind::score : FieldKind::undecided;
    return line[i] == ':' || line[i] == '\r' || line[i] == '\n' ? FieldKind::score : FieldKind::other;
}

// The line ending of the message's first line after any "From " line, as far
// as it is held; LF when there is none.
std::string_view line_end_of(std::string_view head) {
    const std::string_view header = without_from_line(head);
    const std::size_t nl = header.find('\n');
    return nl != std::string_view::npos && nl > 0 && header[nl - 1] == '\r' ? "\r\n" : "\n";
}

}  // namespace

std::string_view without_from_line(std::string_view raw) {
    if (!raw.starts_with("From ")) return raw;
    const std::size_t nl = raw.find('\n');
    return nl == std::string_view::npos ? std::string_view() : raw.substr(nl + 1);
}

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
    if (head.starts_with("From ") && take()) copy_line();
    if (field) {
        const std::string_view eol = line_end_of(head);
        Pieces::write(out, "X-Kalvorin-Score: " + std::to_string(field->score) + std::string(eol));
        // What follows is the body the scoring saw; nothing in it is a field.
        if (field->headerless) Pieces::write(out, eol);
    }
    bool dropping = false;
    while ((!field || !field->headerless) && take()) {
        if (line == "\n" || line == "\r\n") {  // the header ends
            Pieces::write(out, line);
            break;
        }
        if (!is_blank(line[0])) {
            FieldKind kind;
            while ((kind = field_kind(line, ended)) == FieldKind::undecided) pieces.next(line, ended);
            dropping = kind == FieldKind::score;
        }
        if (dropping) drop_line();
        else copy_line();
    }
    pieces.copy_rest(out);
    errno = 0;
    if (std::fflush(out) != 0) Pieces::output_failed();
}

}  // namespace kalvorin::host
