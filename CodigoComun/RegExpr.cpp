#include "CodigoComun/RegExpr.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <string_view>

#include "CodigoComun/Errors.h"
#include "CodigoComun/Texto.h"
#include "CodigoComun/TrxDialect.h"
#include "CodigoComun/TrxEmitter.h"
#include "CodigoComun/TrxParser.h"
#include "platform/ansi.h"

namespace kalvorin {

namespace {

// ---- Character tables --------------------------------------------------------

// Offsets and bits of PCRE2's table layout.
constexpr std::size_t kLcc = 0;
constexpr std::size_t kFcc = 256;
constexpr std::size_t kCbits = 512;
constexpr std::size_t kCtypes = 832;
enum CbitMap : std::size_t { space = 0, xdigit = 32, digit = 64, upper = 96, lower = 128,
                             word = 160, graph = 192, print = 224, punct = 256, cntrl = 288 };
enum CtypeBit : unsigned char { ctype_space = 0x01, ctype_letter = 0x02, ctype_lcletter = 0x04,
                                ctype_digit = 0x08, ctype_word = 0x10 };

using Tables = std::array<unsigned char, regexpr_tables_length>;

// Character classification of the "C" locale, spelt out so that no locale set
// by the host program can change it. VT is no space here.
struct CClass {
    bool is_upper, is_lower, is_digit, is_xdigit, is_space, is_print, is_cntrl;
};

CClass classify(unsigned c) {
    CClass k{};
    k.is_upper = c >= 'A' && c <= 'Z';
    k.is_lower = c >= 'a' && c <= 'z';
    k.is_digit = c >= '0' && c <= '9';
    k.is_xdigit = k.is_digit || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    k.is_space = c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
    k.is_print = c >= 0x20 && c < 0x7F;
    k.is_cntrl = c < 0x20 || c == 0x7F;
    return k;
}

void set_bit(Tables& t, std::size_t map, unsigned c) {
    t[kCbits + map + c / 8] |= static_cast<unsigned char>(1u << (c % 8));
}

Tables make_tables() {
    Tables t{};
    for (unsigned c = 0; c < 256; ++c) {
        const CClass k = classify(c);
        const bool alpha = k.is_upper || k.is_lower;
        const bool alnum = alpha || k.is_digit;
        t[kLcc + c] = static_cast<unsigned char>(k.is_upper ? c + 32 : c);
        t[kFcc + c] = static_cast<unsigned char>(k.is_upper ? c + 32 : k.is_lower ? c - 32 : c);
        if (k.is_space) set_bit(t, space, c);
        if (k.is_xdigit) set_bit(t, xdigit, c);
        if (k.is_digit) set_bit(t, digit, c);
        if (k.is_upper) set_bit(t, upper, c);
        if (k.is_lower) set_bit(t, lower, c);
        if (alnum || c == '_') set_bit(t, word, c);
        if (k.is_print && c != ' ') set_bit(t, graph, c);
        if (k.is_print) set_bit(t, print, c);
        if (k.is_print && c != ' ' && !alnum) set_bit(t, punct, c);
        if (k.is_cntrl) set_bit(t, cntrl, c);
        unsigned char type = 0;
        if (k.is_space) type |= ctype_space;
        if (alpha) type |= ctype_letter;
        if (k.is_lower) type |= ctype_lcletter;
        if (k.is_digit) type |= ctype_digit;
        if (alnum || c == '_') type |= ctype_word;
        t[kCtypes + c] = type;
    }
    // Case-insensitive matching pairs the Windows-1252 letters above 0x7F too;
    // \w and the letter classes stay ASCII.
    for (unsigned c = 0x80; c < 256; ++c) {
        const auto u = static_cast<unsigned char>(platform::ansi_upper(static_cast<char>(c)));
        if (u == c) continue;
        t[kFcc + c] = u;
        t[kFcc + u] = static_cast<unsigned char>(c);
        t[kLcc + u] = static_cast<unsigned char>(c);
    }
    return t;
}

// ---- PCRE2 objects -----------------------------------------------------------

template <auto Free>
struct Release {
    template <class T>
    void operator()(T* p) const noexcept { Free(p); }
};

using Code = std::unique_ptr<pcre2_code, Release<pcre2_code_free>>;
using CompileContext = std::unique_ptr<pcre2_compile_context, Release<pcre2_compile_context_free>>;
using MatchContext = std::unique_ptr<pcre2_match_context, Release<pcre2_match_context_free>>;
using MatchData = std::unique_ptr<pcre2_match_data, Release<pcre2_match_data_free>>;
using JitStack = std::unique_ptr<pcre2_jit_stack, Release<pcre2_jit_stack_free>>;

template <class T>
T checked(T owner) {
    if (!owner) throw std::bad_alloc();
    return owner;
}

constexpr uint32_t kCompileOptions = PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY | PCRE2_NEVER_UTF | PCRE2_NEVER_UCP |
                                     PCRE2_NEVER_BACKSLASH_C | PCRE2_USE_OFFSET_LIMIT;

// The budget counts work, never time, so that a message and its lists score
// alike on any machine under any load. The unit is PCRE2's match limit, which
// it counts afresh at each start position. Every start position is granted
// kPositionWork; what needs more is taken from the test's allowance, which
// grows with the text so that linear work on a capped part (50000 bytes)
// always fits, while a pattern whose work grows with the square of its text
// runs out of it within tens of kilobytes.
constexpr std::uint64_t kPositionWork = 1000;
constexpr std::uint64_t kAllowanceBase = 1000000;
constexpr std::uint64_t kAllowancePerByte = 1000;
// A start position that needs more than kPositionWork is tried alone with a
// limit four times the last, each try charged whole to the allowance: at most
// four times the work it needed, and a third more for the tries before.
constexpr std::uint64_t kLimitGrowth = 4;
// The start positions are tried in windows, which PCRE2 searches with its
// start-of-match optimisations; a window that meets a costly position is
// tried again smaller until that position stands alone.
constexpr PCRE2_SIZE kFirstWindow = 256;
constexpr PCRE2_SIZE kLargestWindow = 64 * 1024;
constexpr uint32_t kDepthLimit = 100000;
constexpr uint32_t kHeapLimitKiB = 64 * 1024;
constexpr PCRE2_SIZE kJitStackStart = 32 * 1024;
constexpr PCRE2_SIZE kJitStackMax = 4 * 1024 * 1024;

std::string pcre2_message(int code) {
    std::array<PCRE2_UCHAR, 256> buffer{};
    const int n = pcre2_get_error_message(code, buffer.data(), buffer.size());
    return n < 0 ? "error " + std::to_string(code)
                 : std::string(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(n));
}

struct Compiled {
    Code code;
    bool jit;
};

// The translated pattern is valid PCRE2 by construction; what PCRE2 can still
// refuse is size (a group counted thousands of times on a long text, which it
// writes out once per count), reported at the pattern's end.
Compiled compile(const std::string& translated, std::size_t pattern_length) {
    const CompileContext context = checked(CompileContext(pcre2_compile_context_create(nullptr)));
    pcre2_set_character_tables(context.get(), regexpr_character_tables());
    int error = 0;
    PCRE2_SIZE offset = 0;
    Code code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(translated.data()), translated.size(), kCompileOptions,
                            &error, &offset, context.get()));
    if (!code) {
        const std::string at = " (pos " + std::to_string(pattern_length) + ")";
        if (error == PCRE2_ERROR_PATTERN_TOO_LARGE)
            throw ERegExprTooCostly("TRegExpr(comp): Expression Too Big For This Text" + at);
        throw ERegExpr("TRegExpr(comp): " + pcre2_message(error) + at);
    }
    const bool jit = pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE) == 0;
    return {std::move(code), jit};
}

bool is_limit(int rc) {
    return rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT || rc == PCRE2_ERROR_HEAPLIMIT ||
           rc == PCRE2_ERROR_JIT_STACKLIMIT || rc == PCRE2_ERROR_NOMEMORY;
}

// What one match needs besides the compiled pattern: the limits and a JIT stack.
struct Matcher {
    MatchData data;
    MatchContext context;
    JitStack stack;
};

Matcher make_matcher(bool jit) {
    Matcher m{checked(MatchData(pcre2_match_data_create(1, nullptr))),
              checked(MatchContext(pcre2_match_context_create(nullptr))), JitStack()};
    pcre2_set_depth_limit(m.context.get(), kDepthLimit);
    pcre2_set_heap_limit(m.context.get(), kHeapLimitKiB);
    if (jit) {
        m.stack = checked(JitStack(pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr)));
        pcre2_jit_stack_assign(m.context.get(), nullptr, m.stack.get());
    }
    return m;
}

// One search's work: the start positions tried and what the costly ones took
// beyond their share, in match-limit units.
class WorkBudget {
public:
    explicit WorkBudget(std::size_t text_length)
        : allowance_(kAllowanceBase + kAllowancePerByte * static_cast<std::uint64_t>(text_length)) {}

    // The limit for the next try of one costly start position, after a try
    // at `tried`: what is left of the allowance when that is less.
    std::uint64_t next_limit(std::uint64_t tried) const {
        return std::min({tried * kLimitGrowth, allowance_, std::uint64_t{UINT32_MAX}});
    }
    void charge(std::uint64_t work) { allowance_ -= std::min(work, allowance_); }

private:
    std::uint64_t allowance_;
};

// A window searches the whole subject (lookbehinds and \b see the text before
// it) but lets a match start only at its own positions, so the windows
// together try exactly the start positions of one search, each once granted
// kPositionWork. A window is only tried again when one of its positions
// needed more, and such a position is then tried alone with growing limits.
// What is charged depends on the pattern and the text alone, never on the
// windows' sizes.
class Search {
public:
    Search(const Compiled& compiled, std::string_view text, Matcher& matcher)
        : compiled_(compiled), text_(text), matcher_(matcher), budget_(text.size()) {}

    std::optional<RegexMatch> run() {
        const PCRE2_SIZE end = text_.size();
        PCRE2_SIZE start = 0;
        PCRE2_SIZE window = kFirstWindow;
        for (;;) {
            const PCRE2_SIZE last = end - start < window ? end : start + window - 1;
            int rc = try_window(start, last, kPositionWork);
            if (is_limit(rc)) {
                if (window > 1) {
                    window = std::max<PCRE2_SIZE>(1, window / 16);
                    continue;
                }
                rc = try_costly(start, rc);
            }
            if (rc >= 0) return found();
            if (rc != PCRE2_ERROR_NOMATCH) throw ERegExpr("TRegExpr(exec): " + pcre2_message(rc));
            if (last == end) return std::nullopt;
            start = last + 1;
            window = std::min(window * 4, kLargestWindow);
        }
    }

private:
    int try_window(PCRE2_SIZE start, PCRE2_SIZE last, std::uint64_t limit) {
        pcre2_set_offset_limit(matcher_.context.get(), last);
        pcre2_set_match_limit(matcher_.context.get(), static_cast<uint32_t>(limit));
        return pcre2_match(compiled_.code.get(), reinterpret_cast<PCRE2_SPTR>(text_.data()), text_.size(), start, 0,
                           matcher_.data.get(), matcher_.context.get());
    }

    // One start position that needs more than its share. Only the match
    // limit grows: a position that reaches the depth, heap or stack limits
    // would reach them again.
    int try_costly(PCRE2_SIZE at, int rc) {
        std::uint64_t limit = kPositionWork;
        while (rc == PCRE2_ERROR_MATCHLIMIT) {
            const std::uint64_t next = budget_.next_limit(limit);
            // A limit no larger than one already reached would be reached again.
            if (next <= limit) break;
            limit = next;
            budget_.charge(limit);
            rc = try_window(at, at, limit);
        }
        if (is_limit(rc)) throw ERegExprTooCostly();
        return rc;
    }

    RegexMatch found() const {
        const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(matcher_.data.get());
        return RegexMatch{ovector[0], ovector[1]};
    }

    const Compiled& compiled_;
    std::string_view text_;
    Matcher& matcher_;
    WorkBudget budget_;
};

std::optional<RegexMatch> search(const Compiled& compiled, std::string_view text, Matcher& matcher) {
    return Search(compiled, text, matcher).run();
}

// One matcher serves every kept pattern; the filter code runs one test at a time.
Matcher& shared_matcher() {
    static Matcher matcher = make_matcher(true);
    return matcher;
}

}  // namespace

const unsigned char* regexpr_character_tables() {
    static const Tables tables = make_tables();
    return tables.data();
}

// The pattern is translated for this subject's length on every call, which
// keeps huge counts from costing work or pattern space.
bool regexpr_exec(const std::string& pattern, const std::string& subject) {
    return regexpr_find(pattern, subject).has_value();
}

std::optional<RegexMatch> regexpr_find(const std::string& pattern, const std::string& subject) {
    const std::string_view text = up_to_nul(subject);
    const Compiled compiled = compile(trx_to_pcre2(pattern, text.size()), pattern.size());
    if (text.empty()) return std::nullopt;
    Matcher matcher = make_matcher(compiled.jit);
    return search(compiled, text, matcher);
}

// A translation that PCRE2 refused is kept as its error, so that it fails
// alike for every subject of its length class.
struct RegexPattern::LengthClass {
    std::optional<Compiled> compiled;
    std::exception_ptr error;  // of its own type: too big for this length is the text's doing
};

struct RegexPattern::Parsed {
    explicit Parsed(trx::ParsedPattern parsed) : tree(std::move(parsed)), fitting(tree) {}
    trx::ParsedPattern tree;
    trx::Fitting fitting;
};

RegexPattern::RegexPattern(const std::string& pattern) : pattern_(pattern) {
    try {
        parsed_ = std::make_unique<Parsed>(trx::parse(pattern));
    } catch (const ERegExpr& e) {
        error_ = e.what();
    }
}

RegexPattern::~RegexPattern() = default;

bool RegexPattern::exec(std::string_view subject) {
    if (!parsed_) throw ERegExpr(error_);
    const std::string_view text = up_to_nul(subject);
    auto key = parsed_->fitting.length_class(text.size());
    if (classes_.size() >= kMaxLengthClasses && classes_.find(key) == classes_.end()) classes_.clear();
    std::unique_ptr<LengthClass>& slot = classes_[std::move(key)];
    if (!slot) {
        slot = std::make_unique<LengthClass>();
        try {
            slot->compiled = compile(trx::emit(parsed_->tree, text.size()), pattern_.size());
        } catch (const ERegExpr&) {
            slot->error = std::current_exception();
        }
    }
    if (!slot->compiled) std::rethrow_exception(slot->error);
    if (text.empty()) return false;
    return search(*slot->compiled, text, shared_matcher()).has_value();
}

}  // namespace kalvorin
