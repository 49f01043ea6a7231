#include "CodigoComun/RegExpr.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <new>
#include <string_view>

#include "CodigoComun/Errors.h"
#include "CodigoComun/Texto.h"
#include "CodigoComun/TrxDialect.h"
#include "CodigoComun/TrxEmitter.h"
#include "CodigoComun/TrxParser.h"
#include "platform/ansi.h"
#include "platform/clock.h"

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

// Work bounds for one start position: about a millisecond of backtracking on
// this machine. PCRE2 restarts the count at each start position.
constexpr uint32_t kMatchLimit = 200000;
// The bound for the whole test: a text made so that every start position stays
// just under the limits would otherwise cost a millisecond per byte. It grows
// with the text, so that linear work on a capped part (50000 bytes, 70 ms)
// always fits.
constexpr std::chrono::milliseconds kTestBudgetBase{20};
constexpr std::chrono::microseconds kTestBudgetPerByte{1};
// The start positions are tried in windows, and the budget is looked at
// between two of them, which costs nothing at each start position. Each window
// is sized from the cost of the one before, to take about kWindowTime, so that
// a costly text is caught soon after its budget runs out.
constexpr std::chrono::microseconds kWindowTime{500};
constexpr PCRE2_SIZE kFirstWindow = 256;
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
        const std::string problem =
            error == PCRE2_ERROR_PATTERN_TOO_LARGE ? "Expression Too Big For This Text" : pcre2_message(error);
        throw ERegExpr("TRegExpr(comp): " + problem + " (pos " + std::to_string(pattern_length) + ")");
    }
    const bool jit = pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE) == 0;
    return {std::move(code), jit};
}

bool is_limit(int rc) {
    return rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT || rc == PCRE2_ERROR_HEAPLIMIT ||
           rc == PCRE2_ERROR_JIT_STACKLIMIT || rc == PCRE2_ERROR_NOMEMORY;
}

// The budget is processor time, so that a busy machine does not make a test
// fail; the cheap wall clock tells when the costlier processor clock is worth
// reading.
class Budget {
public:
    Budget(std::size_t text_length, std::chrono::steady_clock::time_point now)
        : allowed_(kTestBudgetBase + kTestBudgetPerByte * static_cast<std::int64_t>(text_length)),
          cpu_start_(cpu_time_at(now, false)),
          deadline_(now + allowed_) {}

    bool exhausted(std::chrono::steady_clock::time_point now) {
        if (now <= deadline_) return false;
        const auto used = cpu_time_at(now, true) - cpu_start_;
        if (used >= allowed_) return true;
        deadline_ = now + (allowed_ - used);
        return false;
    }

private:
    // The processor clock is a system call on many machines, and a test is
    // often over in microseconds, so a test's start reads it at most once per
    // kCpuReadEvery of wall time. In between, the thread's processor time is
    // taken as the last reading plus all the wall time since: it cannot have
    // grown faster. A start is so placed no earlier than it was and at most
    // kCpuReadEvery later, which can only lengthen a budget by that much. The
    // time used against the budget is always read afresh.
    static std::chrono::nanoseconds cpu_time_at(std::chrono::steady_clock::time_point now, bool afresh) {
        constexpr std::chrono::milliseconds kCpuReadEvery{1};
        struct Reading {
            std::chrono::steady_clock::time_point wall;
            std::chrono::nanoseconds cpu{-1};
        };
        thread_local Reading last;
        if (afresh || last.cpu.count() < 0 || now - last.wall >= kCpuReadEvery)
            last = {now, platform::thread_cpu_time()};
        return last.cpu + (now - last.wall);
    }

    std::chrono::nanoseconds allowed_;
    std::chrono::nanoseconds cpu_start_;
    std::chrono::steady_clock::time_point deadline_;
};

// What one match needs besides the compiled pattern: the limits and a JIT stack.
struct Matcher {
    MatchData data;
    MatchContext context;
    JitStack stack;
};

Matcher make_matcher(bool jit) {
    Matcher m{checked(MatchData(pcre2_match_data_create(1, nullptr))),
              checked(MatchContext(pcre2_match_context_create(nullptr))), JitStack()};
    pcre2_set_match_limit(m.context.get(), kMatchLimit);
    pcre2_set_depth_limit(m.context.get(), kDepthLimit);
    pcre2_set_heap_limit(m.context.get(), kHeapLimitKiB);
    if (jit) {
        m.stack = checked(JitStack(pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr)));
        pcre2_jit_stack_assign(m.context.get(), nullptr, m.stack.get());
    }
    return m;
}

// A window searches the whole subject (lookbehinds and \b see the text before
// it) but lets a match start only at its own positions, so the windows
// together try exactly the start positions of one search. The budget is
// looked at after every window, a match included: whatever was found after
// the budget ran out is too costly, as it would have been had the clock been
// read at each start position.
std::optional<RegexMatch> search(const Compiled& compiled, std::string_view text, Matcher& matcher) {
    using std::chrono::steady_clock;
    // One wall-clock reading ends a window and begins the next.
    auto began = steady_clock::now();
    Budget budget(text.size(), began);
    const auto subject = reinterpret_cast<PCRE2_SPTR>(text.data());
    const PCRE2_SIZE end = text.size();
    PCRE2_SIZE start = 0;
    PCRE2_SIZE window = kFirstWindow;
    for (;;) {
        const PCRE2_SIZE last = end - start < window ? end : start + window - 1;
        pcre2_set_offset_limit(matcher.context.get(), last);
        const int rc = pcre2_match(compiled.code.get(), subject, end, start, 0, matcher.data.get(),
                                   matcher.context.get());
        const auto now = steady_clock::now();
        if (rc < 0 && rc != PCRE2_ERROR_NOMATCH) {
            if (is_limit(rc)) throw ERegExprTooCostly();
            throw ERegExpr("TRegExpr(exec): " + pcre2_message(rc));
        }
        if (budget.exhausted(now)) throw ERegExprTooCostly();
        if (rc >= 0) {
            const PCRE2_SIZE* found = pcre2_get_ovector_pointer(matcher.data.get());
            return RegexMatch{found[0], found[1]};
        }
        if (last == end) return std::nullopt;
        start = last + 1;
        if (now - began < kWindowTime / 4) window *= 4;
        else if (now - began > kWindowTime && window > 1) window /= 2;
        began = now;
    }
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

// A translation that PCRE2 refused is kept as its message, so that it fails
// alike for every subject of its length class.
struct RegexPattern::LengthClass {
    std::optional<Compiled> compiled;
    std::string error;
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
        } catch (const ERegExpr& e) {
            slot->error = e.what();
        }
    }
    if (!slot->compiled) throw ERegExpr(slot->error);
    if (text.empty()) return false;
    return search(*slot->compiled, text, shared_matcher()).has_value();
}

}  // namespace kalvorin
