// Random pattern text through the dialect adapter: every pattern either is
// rejected with ERegExpr or becomes a PCRE2 pattern that compiles and runs,
// and counts fitted to a subject do not change the answer on it.
#include <gtest/gtest.h>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "CodigoComun/Errors.h"
#include "CodigoComun/RegExpr.h"
#include "CodigoComun/TrxDialect.h"
#include "CodigoComun/TrxEmitter.h"
#include "CodigoComun/TrxParser.h"

namespace kalvorin {
namespace {

struct CodeFree {
    void operator()(pcre2_code* c) const noexcept { pcre2_code_free(c); }
};
struct ContextFree {
    void operator()(pcre2_compile_context* c) const noexcept { pcre2_compile_context_free(c); }
};

const std::string too_large = [] {
    PCRE2_UCHAR text[256];
    pcre2_get_error_message(PCRE2_ERROR_PATTERN_TOO_LARGE, text, sizeof text);
    return std::string(reinterpret_cast<const char*>(text));
}();

const std::string too_costly = "TRegExpr(exec): Pattern Too Costly For This Text";

using Code = std::unique_ptr<pcre2_code, CodeFree>;

// Compiles a translation as the engine does; error and offset tell why not.
Code compile_as_engine(const std::string& translated, int& error, PCRE2_SIZE& offset) {
    std::unique_ptr<pcre2_compile_context, ContextFree> context(pcre2_compile_context_create(nullptr));
    pcre2_set_character_tables(context.get(), regexpr_character_tables());
    return Code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(translated.data()), translated.size(),
                              PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY | PCRE2_NEVER_UTF | PCRE2_NEVER_UCP |
                                  PCRE2_NEVER_BACKSLASH_C,
                              &error, &offset, context.get()));
}

// PCRE2's complaint about a translation, empty when it compiled.
std::string pcre2_complaint(const std::string& translated) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    if (compile_as_engine(translated, error, offset)) return {};
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

struct MatchDataFree {
    void operator()(pcre2_match_data* d) const noexcept { pcre2_match_data_free(d); }
};

// Whether the translation matches the subject, run as the engine runs it
// (without its limits); nothing when PCRE2 refuses it.
std::optional<bool> pcre2_matches(const std::string& translated, const std::string& subject) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    const Code code = compile_as_engine(translated, error, offset);
    if (!code) return std::nullopt;
    std::unique_ptr<pcre2_match_data, MatchDataFree> data(pcre2_match_data_create(1, nullptr));
    const int rc = pcre2_match(code.get(), reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), 0, 0,
                               data.get(), nullptr);
    if (rc < 0 && rc != PCRE2_ERROR_NOMATCH) return std::nullopt;
    return rc >= 0;
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
    // A text longer than PCRE2's counts reach keeps the blocks of copies that
    // stand for counts above 65535; there a group copied that often may be
    // too big for PCRE2, and nothing else may fail.
    constexpr std::size_t long_text = 1000000;
    int accepted = 0;
    for (int round = 0; round < 30000; ++round) {
        const std::string pattern = random_pattern(rng);
        const std::string subject = random_subject(rng);
        std::string translated;
        try {
            translated = trx_to_pcre2(pattern, subject.size());
        } catch (const ERegExpr&) {
            EXPECT_THROW(trx_to_pcre2(pattern, long_text), ERegExpr) << "pattern [" << pattern << "]";
            continue;
        }
        ++accepted;
        ASSERT_EQ(pcre2_complaint(translated), "") << "pattern [" << pattern << "] became [" << translated << "]";
        const std::string for_long_text = trx_to_pcre2(pattern, long_text);
        const std::string complaint = pcre2_complaint(for_long_text);
        if (!complaint.empty()) {
            ASSERT_EQ(complaint.rfind(too_large, 0), 0u) << "pattern [" << pattern << "] became [" << for_long_text
                                                         << "]: " << complaint;
        }
        EXPECT_TRUE(pcre2_matches(translated, subject).has_value())
            << "pattern [" << pattern << "] became [" << translated << "], which fails on [" << subject << "]";
        // The engine may give up on its processor-time budget: a stall of the
        // machine charged to a match that takes under a millisecond does that
        // now and then, so that answer says nothing of the translation. Any
        // other error at run time does.
        try {
            regexpr_exec(pattern, subject);
        } catch (const ERegExpr& e) {
            if (std::string(e.what()) != too_costly)
                ADD_FAILURE() << "pattern [" << pattern << "] raised at run time: " << e.what();
        }
    }
    EXPECT_GT(accepted, 3000);
}

// Counts are fitted to the subject's length. Fitted to a longer subject they
// drop less, and the answer on the same subject must be the same.
TEST(DialectAdapterRandom, CountsFittedToTheSubjectGiveTheSameAnswer) {
    static const char* const pieces[] = {
        "(", ")", "(?:", "|", "a", "b", "ab", "[ab]", ".", "\\1", "\\2", "a{0,2}", "{2}", "{0,3}", "{1,}",
        "{3,5}", "{2,99999999}", "{0,99999999}", "{7}", "?", "*", "+", "{1,4}?", "^", "$", "\\b", "(?-g)", "(?i)",
        "A", "\\x00", "){7}", "){2,99999999}"};
    constexpr std::size_t count = sizeof pieces / sizeof pieces[0];
    constexpr std::size_t longer = 40;
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<std::size_t> length(1, 10), pick(0, count - 1), subject_length(1, 9), letter(0, 4);
    int compared = 0;
    for (int round = 0; round < 30000; ++round) {
        std::string pattern, subject;
        for (std::size_t n = length(rng); n > 0; --n) pattern += pieces[pick(rng)];
        for (std::size_t n = subject_length(rng); n > 0; --n) subject += "abAB "[letter(rng)];
        std::string fitted, loose;
        try {
            fitted = trx_to_pcre2(pattern, subject.size());
            loose = trx_to_pcre2(pattern, longer);
        } catch (const ERegExpr&) {
            continue;
        }
        const auto expected = pcre2_matches(loose, subject);
        if (!expected) continue;
        ++compared;
        ASSERT_EQ(pcre2_matches(fitted, subject), expected)
            << "pattern [" << pattern << "] on [" << subject << "] became [" << fitted << "], not [" << loose << "]";
    }
    EXPECT_GT(compared, 5000);
}


// Lengths of one class get one translation, so a translation compiled for one
// of them serves them all.
TEST(DialectAdapterRandom, LengthsOfOneClassGetOneTranslation) {
    static const char* const pieces[] = {"(", ")", "(?:", "|", "a", "ab", "[ab]", ".", "\\1", "a*", "{2}",
                                         "{0,3}", "{1,}", "{3,5}", "{0,99999999}", "{7}", "?", "+", "(a*){9}",
                                         "\\b", "(?i)", "){4}", "){2,70000}"};
    constexpr std::size_t count = sizeof pieces / sizeof pieces[0];
    std::mt19937 rng(20251208);
    std::uniform_int_distribution<std::size_t> length(1, 8), pick(0, count - 1);
    int checked = 0;
    for (int round = 0; round < 5000; ++round) {
        std::string pattern;
        for (std::size_t n = length(rng); n > 0; --n) pattern += pieces[pick(rng)];
        trx::ParsedPattern parsed;
        try {
            parsed = trx::parse(pattern);
        } catch (const ERegExpr&) {
            continue;
        }
        const trx::Fitting fitting(parsed);
        std::map<std::vector<unsigned long>, std::string> first_of_class;
        for (std::size_t subject_length : {0, 1, 2, 3, 4, 5, 7, 8, 9, 12, 16, 20, 27, 40, 65535, 70001, 200000}) {
            const std::string translated = trx::emit(parsed, subject_length);
            const auto [at, fresh] = first_of_class.try_emplace(fitting.length_class(subject_length), translated);
            ASSERT_EQ(translated, at->second) << "pattern [" << pattern << "], length " << subject_length;
            checked += fresh ? 0 : 1;
        }
    }
    EXPECT_GT(checked, 12000);
}

// A kept pattern answers and fails as the engine called afresh does.
TEST(DialectAdapterRandom, KeptPatternsAnswerAsTheEngineCalledAfresh) {
    std::mt19937 rng(20251209);
    const auto outcome = [](auto&& run) {
        try {
            return std::string(run() ? "match" : "no match");
        } catch (const ERegExpr& e) {
            return std::string("error: ") + e.what();
        }
    };
    for (int round = 0; round < 3000; ++round) {
        const std::string pattern = random_pattern(rng);
        RegexPattern kept(pattern);
        for (int k = 0; k < 4; ++k) {
            const std::string subject = random_subject(rng);
            ASSERT_EQ(outcome([&] { return kept.exec(subject); }), outcome([&] { return regexpr_exec(pattern, subject); }))
                << "pattern [" << pattern << "] on [" << subject << "]";
        }
    }
}

// A pattern that meets a new length class at every subject length keeps no
// more than the bound compiled, and answers alike before and after the kept
// ones go.
TEST(DialectAdapterRandom, AKeptPatternHoldsBoundedLengthClasses) {
    std::string pattern;
    for (int k = 1; k <= 100; ++k) pattern += "b{0," + std::to_string(k) + "}";
    pattern += "z";
    RegexPattern kept(pattern);
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t length = 1; length <= 120; ++length) {
            const std::string subject = std::string(length - 1, 'b') + (length % 3 ? "z" : "y");
            ASSERT_EQ(kept.exec(subject), regexpr_exec(pattern, subject)) << length;
            ASSERT_LE(kept.length_classes_kept(), RegexPattern::kMaxLengthClasses) << length;
        }
    }
}

}  // namespace
}  // namespace kalvorin
