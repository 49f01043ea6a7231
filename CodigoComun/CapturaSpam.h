#pragma once
// The filter code's per-message context, the searcher: the six parts of one
// message, the upper-case option and the trace. Its state is process-wide.
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>
#include <string>
#include <vector>

#include "kalvorin/parts.h"

namespace kalvorin {

// The longest filter line that filtred takes apart; a longer one is refused
// with EFilterError before any work, since taking a line apart costs its
// length for each of its tests.
inline constexpr std::size_t kLongestLine = 64 * 1024;
// A procesa trace line shows the line as it stands only while the line is no
// longer than this; for a longer one it shows the line's length instead, so
// that a line of many tests does not write itself once for each of them.
inline constexpr std::size_t kLongestTracedLine = 1024;
// The most trace a message writes: once its trace lines have reached this
// many bytes, one line says the trace is cut and no more follow, so that no
// list, however long its lines or many its tests, makes the log grow by more
// for one message.
inline constexpr std::size_t kLongestTrace = 1024 * 1024;

// How the log names a line by its length: "<a line of N bytes>".
std::string line_of_length(std::size_t length);
// What filtred raises for a line longer than kLongestLine; nothing for another.
std::optional<std::string> overlong(const std::string& line);

class searcher {
public:
    // Keeps the six parts and the flag, reads the base folder afresh from the
    // settings, and switches the trace off. The parts are taken over: a
    // caller that moves them in leaves no copy behind.
    static void searcher_init(std::string sender, std::string subject, std::string body, std::string attachments,
                              std::string header, std::string rawmsg, bool uppercase);
    // The same with the parts by field index.
    static void searcher_init(FieldParts parts, bool uppercase);
    // Lets go of the message: its parts and the forms made of them, until the
    // next searcher_init.
    static void searcher_done() noexcept;
    // Does the filter line match the message? Raises what the evaluator, the
    // regular-expression mode or the trace writer raise, and EFilterError for
    // a field test that cannot be replaced in its line or a line longer than
    // kLongestLine.
    static bool filtred(const std::string& line);
    // Takes the lines apart ahead of the messages, so that the contains and
    // whole-word texts of all of them are found in one pass over each part.
    // Comment lines and lines longer than kLongestLine are skipped; lines met later are taken apart at their
    // first filtred. What an earlier prepare kept is dropped; the literal mode
    // keeps nothing.
    static void prepare(const std::vector<std::string>& lines);
    // Drops every line taken apart and every pattern compiled.
    static void forget();
    // How many distinct field tests are kept from message to message: those
    // of the lines met, never those that a message's own answers make.
    static std::size_t kept_tests();
    // Does the raw message refer to an external image?
    static bool haveimg();
    // Switches the trace on, towards the base folder + "plugin.log.txt".
    static void trace_on();
    static void trace_off();
};

// The literal mode: every line is taken apart and every pattern compiled at
// each filtred, nothing is kept, and every log line is its own write. It is
// the reference that the kept forms are tested against. Off at start.
void set_literal_mode(bool on);
bool literal_mode();

// The line with every field test replaced by "1" or "0".
std::string la_descompone(const std::string& line);
// Decides one field test and replaces every occurrence of it in the line.
// Raises EFilterError when the test does not occur in the line.
void procesa(std::string& line, const std::string& keyword, const std::string& op, const std::string& delim,
             const std::string& text);
// Replaces every occurrence of test in line, compared under the ANSI
// upper-case mapping, by digit, in one pass from left to right; the count.
std::size_t replace_test(std::string& line, const std::string& test, const std::string& digit);
// Writes "#- " + text to the trace path while the trace is on.
void trace(const std::string& text);

// The match modes; all read the searcher's upper-case flag at the call.
std::string normaliza(const std::string& text);
bool es_separador(char c);
bool busca_texto(const std::string& text, const std::string& part);
bool busca_palabra(const std::string& text, const std::string& part);
bool busca_regexp(const std::string& pattern, const std::string& part);

// A match mode's answer, and where in the part it looked: the first
// occurrence of the text (for the whole word, the one it judges, bounded by
// separators or not) or the match, as byte offsets into the part as given,
// end not included.
struct ModeMatch {
    bool answer = false;
    std::optional<std::pair<std::size_t, std::size_t>> at;
};
ModeMatch match_texto(const std::string& text, const std::string& part);
ModeMatch match_palabra(const std::string& text, const std::string& part);
ModeMatch match_regexp(const std::string& pattern, const std::string& part);

// What haveimg looks for in the raw message, trimmed and in upper case.
inline constexpr std::array<std::string_view, 2> kImageSources = {"SRC=\"HTTP", "SRC=\\\"HTTP"};
// Where haveimg finds the first of them: offsets into the raw message as
// given, end not included.
std::optional<std::pair<std::size_t, std::size_t>> image_source_at(const std::string& raw);

}  // namespace kalvorin
