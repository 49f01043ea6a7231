// Random pattern text through the dialect adapter: every pattern either is
// rejected with ERegExpr or becomes a PCRE2 pattern that compiles and runs.
#include <gtest/gtest.h>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <memory>
#include <random>
#include <string>

#include "CodigoComun/Errors.h"
#include "CodigoComun/RegExpr.h"
#include "CodigoComun/TrxDialect.h"

namespace kalvorin {
namespace {

struct CodeFree {
    void operator()(pcre2_code* c) const noexcept { pcre2_code_free(c); }
};
struct ContextFree {
    void operator()(pcre2_compile_context* c) const noexcept { pcre2_compile_context_free(c); }
};

// Compiles as the engine does; returns PCRE2's complaint, empty when it compiled.
std::string pcre2_complaint(const std::string& translated) {
    std::unique_ptr<pcre2_compile_context, ContextFree> context(pcre2_compile_context_create(nullptr));
    pcre2_set_character_tables(context.get(), regexpr_character_tables());
    int error = 0;
    PCRE2_SIZE offset = 0;
    std::unique_ptr<pcre2_code, CodeFree> code(pcre2_compile(
        reinterpret_cast<PCRE2_SPTR>(translated.data()), translated.size(),
        PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY | PCRE2_NEVER_UTF | PCRE2_NEVER_UCP | PCRE2_NEVER_BACKSLASH_C, &error,
        &offset, context.get()));
    if (code) return {};
    PCRE2_UCHAR text[256];
    pcre2_get_error_message(error, text, sizeof text);
    return reinterpret_cast<const char*>(text) + std::string(" at ") + std::to_string(offset);
}

// Pieces weighted towards the dialect's syntax, with stray bytes mixed in.
std::string random_pattern(std::mt19937& rng) {
    static const char* const pieces[] = {
        "(", ")", "(?:", "(?i)", "(?-i)", "(?m)", "(?x)", "(?-g)", "(?s-s)", "(?-r)", "(?#c)", "(?", "[", "]", "[^",
        "-", "^", "$", ".", "|", "*", "+", "?", "{", "}", "{2}", "{0,3}", "{1,}", "{70000}", ",", "\\", "\\d", "\\w",
        "\\s", "\\S", "\\b", "\\B", "\\A", "\\Z", "\\z", "\\1", "\\2", "\\9", "\\0", "\\x", "\\x4", "\\x41",
        "\\x{", "\\x{e9}", "\\x{}", "\\c", "\\cA", "\\Q", "\\E", "\\p{L}", "\\v", "\\h", "\\e", " ", "#", "\n",
        "\r", "a", "b", "Z", "0", "9", "\xE0", "\xDF", "\xE9", "\xFF", "", ":",
        "=", "<", ">", "!", "P", "R", "*UTF)", "(*"};
    constexpr std::size_t count = sizeof pieces / sizeof pieces[0];
    std::uniform_int_distribution<std::size_t> length(1, 14), pick(0, count - 1), byte(0, 255), coin(0, 9);
    std::string p;
    for (std::size_t n = length(rng); n > 0; --n) {
        if (coin(rng) == 0) {
            p += static_cast<char>(byte(rng));
        } else {
            const std::size_t k = pick(rng);
            // the empty piece stands for a NUL byte
            if (pieces[k][0] == '\0') p += '\0';
            else p += pieces[k];
        }
    }
    return p;
}

std::string random_subject(std::mt19937& rng) {
    static const std::string alphabet = std::string("ab AZ09_\n\r\x0B\x0C\t\xE9\xC9\xFF\x9F:-") + '\0';
    std::uniform_int_distribution<std::size_t> length(0, 24), pick(0, alphabet.size() - 1);
    std::string s;
    for (std::size_t n = length(rng); n > 0; --n) s += alphabet[pick(rng)];
    return s;
}

TEST(DialectAdapterRandom, EveryPatternIsRejectedOrCompilesAndRuns) {
    std::mt19937 rng(20240604);
    int accepted = 0;
    for (int round = 0; round < 30000; ++round) {
        const std::string pattern = random_pattern(rng);
        std::string translated;
        try {
            translated = trx_to_pcre2(pattern);
        } catch (const ERegExpr&) {
            continue;
        }
        ++accepted;
        ASSERT_EQ(pcre2_complaint(translated), "") << "pattern [" << pattern << "] became [" << translated << "]";
        try {
            regexpr_exec(pattern, random_subject(rng));
        } catch (const ERegExpr& e) {
            ADD_FAILURE() << "pattern [" << pattern << "] raised at run time: " << e.what();
        }
    }
    EXPECT_GT(accepted, 3000);
}

}  // namespace
}  // namespace kalvorin
