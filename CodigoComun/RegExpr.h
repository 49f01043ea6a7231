#pragma once
// The regular-expression mode's engine: patterns in the filter dialect, run on
// PCRE2 through the dialect adapter.
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalvorin {

// Whether the pattern matches anywhere in the subject. The subject is cut at
// its first NUL; an empty subject never matches. Raises ERegExpr for a pattern
// that does not compile and for one too costly to run on this subject.
bool regexpr_exec(const std::string& pattern, const std::string& subject);

// Where a match lies: byte offsets into the subject, end not included.
struct RegexMatch {
    std::size_t begin = 0, end = 0;
};

// The first match that regexpr_exec finds, with the same answer and errors.
std::optional<RegexMatch> regexpr_find(const std::string& pattern, const std::string& subject);

// A pattern kept for many subjects: parsed once, then translated and compiled
// (with JIT) once for each length class of the subjects it meets, at most
// kMaxLengthClasses of them kept at a time. exec gives regexpr_exec's answer
// and raises its error, the same error for every subject when the pattern
// itself is at fault.
class RegexPattern {
public:
    // A pattern meets few length classes in practice; one made to meet
    // thousands would otherwise hold a compiled pattern for each. Past the
    // bound the kept ones go and compiling starts over.
    static constexpr std::size_t kMaxLengthClasses = 32;

    explicit RegexPattern(const std::string& pattern);
    ~RegexPattern();
    RegexPattern(const RegexPattern&) = delete;
    RegexPattern& operator=(const RegexPattern&) = delete;
    bool exec(std::string_view subject);
    // How many length classes are kept compiled now.
    std::size_t length_classes_kept() const { return classes_.size(); }

private:
    struct LengthClass;
    // The parsed pattern and the fitting of its repeats, kept behind a
    // pointer so that this header needs none of the translator's internals.
    struct Parsed;
    std::string pattern_;
    std::unique_ptr<Parsed> parsed_;  // none when the pattern does not parse
    std::string error_;
    std::map<std::vector<unsigned long>, std::unique_ptr<LengthClass>> classes_;
};

// The character tables the engine hands PCRE2 (pcre2_maketables layout,
// regexpr_tables_length bytes): the "C" locale's, with the Windows-1252 case
// pairs and without VT in \s. Built once, never changed.
inline constexpr std::size_t regexpr_tables_length = 1088;
const unsigned char* regexpr_character_tables();

}  // namespace kalvorin
