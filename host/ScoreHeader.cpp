#include "host/ScoreHeader.h"

#include <cerrno>
#include <string>

#include "platform/errors.h"

namespace kalvorin::host {

namespace {

// Enough of a header line to see its field name, the blanks after it and the
// colon.
constexpr std::size_t kFieldHead = 256;

constexpr const char* kOutput = "standard output";

// The message as pieces of lines: the bytes held in memory, then the input's.
class Pieces {
public:
    Pieces(std::string_view head, platform::LineReader* rest) : head_(head), rest_(rest) {}

    // Replaces piece with at most room further bytes of the current line;
    // ended says whether they finish it. False when nothing is left.
    bool next(std::string& piece, std::size_t room, bool& ended) {
        piece.clear();
        if (!head_.empty()) {
            const std::string_view ahead = head_.substr(0, room);
            const std::size_t nl = ahead.find('\n');
            const std::size_t n = nl == std::string_view::npos ? ahead.size() : nl + 1;
            piece.assign(head_.substr(0, n));
            head_.remove_prefix(n);
            ended = piece.back() == '\n' || (head_.empty() && !rest_);
            return true;
        }
        if (!rest_) return false;
        const auto r = rest_->next(piece, room);
        ended = r == platform::LineReader::Read::Whole;
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

// Whether the header line names the score field, in any letter case.
bool is_score_field(std::string_view line) {
    static constexpr std::string_view kName = "x-kalvorin-score";
    if (line.size() < kName.size()) return false;
    for (std::size_t i = 0; i < kName.size(); ++i)
        if (ascii_lower(line[i]) != kName[i]) return false;
    std::size_t colon = kName.size();
    while (colon < line.size() && (line[colon] == ' ' || line[colon] == '\t')) ++colon;
    return colon < line.size() && line[colon] == ':';
}

// The line ending of the message's first header line, as far as it is held.
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

void write_message(std::FILE* out, std::string_view head, platform::LineReader* rest,
                   std::optional<std::int32_t> score) {
    Pieces pieces(head, rest);
    std::string piece;
    bool ended = true;
    const auto copy_line = [&] {
        while (!ended && pieces.next(piece, kFieldHead, ended)) Pieces::write(out, piece);
    };
    const auto drop_line = [&] {
        while (!ended && pieces.next(piece, kFieldHead, ended)) {
        }
    };
    if (head.starts_with("From ")) {
        pieces.next(piece, kFieldHead, ended);
        Pieces::write(out, piece);
        copy_line();
    }
    if (score) Pieces::write(out, "X-Kalvorin-Score: " + std::to_string(*score) + std::string(line_end_of(head)));
    bool dropping = false;
    while (pieces.next(piece, kFieldHead, ended)) {
        if (piece == "\n" || piece == "\r\n") {  // the header ends
            Pieces::write(out, piece);
            break;
        }
        const bool folded = piece[0] == ' ' || piece[0] == '\t';
        dropping = folded ? dropping : is_score_field(piece);
        if (dropping) {
            drop_line();
        } else {
            Pieces::write(out, piece);
            copy_line();
        }
    }
    pieces.copy_rest(out);
    errno = 0;
    if (std::fflush(out) != 0) Pieces::output_failed();
}

}  // namespace kalvorin::host
