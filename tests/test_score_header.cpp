// The score field written by --filter: random header shapes, the message
// cut anywhere between the part held in memory and the part read on, checked
// against this test's own reading of a header as the delivery programs do it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "host/ScoreHeader.h"
#include "platform/textfile.h"

namespace kalvorin::host {
namespace {

using namespace std::string_view_literals;
using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// --- How procmail, maildrop and a Sieve filter read a header, as one reader.
// The header runs up to the first line that is a bare LF (procmail reads on
// past a CR LF one); a line whose first byte other than CR is a blank
// continues the field before it (maildrop drops CRs; every reader unfolds);
// a field is a score field when, its CRs dropped and its lines joined, it
// begins with the name in any case, then blanks, then a colon or a NUL
// (maildrop ends a name there), or when its first line is the name and
// blanks alone.

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t nl = text.find('\n', at);
        const std::size_t end = nl == std::string::npos ? text.size() : nl + 1;
        lines.push_back(text.substr(at, end - at));
        at = end;
    }
    return lines;
}

bool continues(const std::string& line) {
    const std::size_t at = line.find_first_not_of('\r');
    return at != std::string::npos && (line[at] == ' ' || line[at] == '\t');
}

// The name in any case, then blanks, then what follows them ("" for the end).
std::optional<std::string> after_name(const std::string& text) {
    const std::string name = "x-kalvorin-score";
    if (text.size() < name.size()) return std::nullopt;
    for (std::size_t i = 0; i < name.size(); ++i)
        if ((text[i] >= 'A' && text[i] <= 'Z' ? text[i] - 'A' + 'a' : text[i]) != name[i]) return std::nullopt;
    const std::size_t after = text.find_first_not_of(" \t", name.size());
    return after == std::string::npos ? "" : text.substr(after);
}

// Joined with CRs dropped and each line end a space, as maildrop and procmail
// join; or the first line alone, which a Sieve filter takes for a name when
// it has no colon.
bool reads_as_score_field(const std::vector<std::string>& field) {
    std::string joined, first;
    for (const std::string& line : field)
        for (const char c : line)
            if (c != '\r') joined += c == '\n' ? ' ' : c;
    for (const char c : field[0])
        if (c != '\r' && c != '\n') first += c;
    const auto named = after_name(joined);
    const auto alone = after_name(first);
    return (alone && alone->empty()) || (named && (named->starts_with(':') || named->starts_with('\0')));
}

// A message as the reader sees it: the "From " line, the header's fields
// (each its lines), and what follows the header.
struct Reading {
    std::string from_line;
    std::vector<std::vector<std::string>> fields;
    std::string body;
};

Reading read_message(const std::string& text) {
    Reading r;
    std::vector<std::string> lines = lines_of(text);
    std::size_t k = 0;
    if (text.starts_with("From ") && text.find('\n') != std::string::npos) r.from_line = lines[k++];
    for (; k < lines.size() && lines[k] != "\n"; ++k) {
        if (continues(lines[k]) && !r.fields.empty()) r.fields.back().push_back(lines[k]);
        else r.fields.push_back({lines[k]});
    }
    for (; k < lines.size(); ++k) r.body += lines[k];
    return r;
}

std::string own_field(const ScoreField& field, const std::string& eol) {
    return "X-Kalvorin-Score: " + std::to_string(field.score) + eol;
}

// What should come out: the score field written first, and every field the
// reader takes for a score field, but that one, gone; and what would
// continue the one written, as it would change its value.
std::string expected(const std::string& message, const std::optional<ScoreField>& field) {
    const Reading in = read_message(message);
    const std::string after_from = message.substr(in.from_line.size());
    const std::size_t nl = after_from.find('\n');
    const std::string eol = nl != std::string::npos && nl > 0 && after_from[nl - 1] == '\r' ? "\r\n" : "\n";
    std::string written;
    if (field) written = own_field(*field, eol) + (field->headerless ? eol : "");
    const Reading out = read_message(in.from_line + written + after_from);
    std::string text = in.from_line;
    for (std::size_t f = 0; f < out.fields.size(); ++f) {
        if (f == 0 && field) text += out.fields[f][0];
        else if (!reads_as_score_field(out.fields[f]))
            for (const std::string& line : out.fields[f]) text += line;
    }
    return text + out.body;
}

// --- Random messages.

class Shapes {
public:
    explicit Shapes(unsigned seed) : random_(seed) {}

    std::string message() {
        std::string text = below(4) == 0 ? "From a@example.org Mon" + line_end() : "";
        for (std::size_t n = below(10); n > 0; --n) text += line();
        if (below(2)) text.resize(text.size() - below(std::min<std::size_t>(text.size(), 3) + 1));
        return text;
    }

    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }

private:
    std::string line() {
        switch (below(8)) {
            case 0: return pick({"\n", "\r\n", "\r\r\n", " \n", "\0\n"sv, "not a field"}) + (below(2) ? "" : line_end());
            case 1: return blanks() + pick({": -1000", "more", "\r\t: 7", ""}) + line_end();
            case 2: return pick({"Subject: hello", "X-Kalvorin-Scores: 5", "X-Kalvorin-Scor: 5", "From x"}) + line_end();
            default: break;
        }
        std::string name = pick({"X-Kalvorin-Score", "x-kalvorin-score", "X-KALVORIN-SCORE", "X-Kalvorin-Sc"});
        if (below(6) == 0) name.insert(below(name.size() + 1), "\r");
        return name + blanks() + pick({":", ":", "", "\0"sv, "x:", "\r:"}) + pick({" -1000", "", "\t5"}) + line_end();
    }

    // Runs short and long enough to cross the pieces the host reads in.
    std::string blanks() {
        std::string b;
        const std::size_t n = below(3) == 0 ? below(700) : below(3);
        for (std::size_t i = 0; i < n; ++i) b += pick({" ", "\t", " ", "\r"});
        return b;
    }

    std::string line_end() { return pick({"\n", "\n", "\r\n", "\r\n", "\r"}); }

    std::string pick(std::initializer_list<std::string_view> from) {
        return std::string(from.begin()[below(from.size())]);
    }

    std::mt19937 random_;
};

std::string printable(const std::string& bytes) {
    std::string out;
    for (const char c : bytes)
        out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\t' ? "\\t" : c == '\0' ? "\\0" : std::string(1, c);
    return out;
}

File temp_file(const std::string& content) {
    File f(std::tmpfile(), std::fclose);
    std::fwrite(content.data(), 1, content.size(), f.get());
    std::rewind(f.get());
    return f;
}

// write_message with the first `held` bytes of the message in memory and
// the rest read on from a stream.
std::string written(const std::string& message, std::size_t held, const std::optional<ScoreField>& field) {
    const File input = temp_file(message.substr(held));
    platform::LineReader rest(input.get(), "input");
    const File output = temp_file("");
    write_message(output.get(), std::string_view(message).substr(0, held), &rest, field);
    std::string out(static_cast<std::size_t>(std::ftell(output.get())), '\0');
    std::rewind(output.get());
    EXPECT_EQ(std::fread(out.data(), 1, out.size(), output.get()), out.size());
    return out;
}

// (a) the reader finds no score field but the one written, and nothing
// continues it; (b) the message is otherwise whole: only the fields it
// reads as score fields are gone, byte for byte.
TEST(ScoreHeader, NoScoreFieldButTheHostsOwnIsLeftForAnyReaderAndNothingElseChanges) {
    Shapes shapes(20240612);
    for (int k = 0; k < 4000; ++k) {
        const std::string message = shapes.message();
        // A score only for a message held whole, as the filter gives one.
        const std::size_t held = shapes.below(2) ? message.size() : shapes.below(message.size() + 1);
        std::optional<ScoreField> field;
        if (held == message.size() && shapes.below(3))
            field = ScoreField{static_cast<std::int32_t>(shapes.below(3)) * 500 - 500, shapes.below(2) == 0};
        const std::string out = written(message, held, field);
        SCOPED_TRACE("case " + std::to_string(k) + ", held " + std::to_string(held) +
                     (field ? field->headerless ? ", headerless: " : ", scored: " : ": ") + printable(message));

        const Reading reading = read_message(out);
        std::size_t score_fields = 0;
        for (const auto& f : reading.fields) score_fields += reads_as_score_field(f);
        ASSERT_EQ(score_fields, field ? std::size_t{1} : std::size_t{0}) << printable(out);
        if (field) {
            ASSERT_FALSE(reading.fields.empty());
            EXPECT_EQ(reading.fields[0], std::vector<std::string>{reading.fields[0][0]}) << printable(out);
            EXPECT_TRUE(reading.fields[0][0].starts_with(own_field(*field, ""))) << printable(out);
        }
        ASSERT_EQ(printable(out), printable(expected(message, field)));
    }
}

}  // namespace
}  // namespace kalvorin::host
