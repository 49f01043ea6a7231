// filtred over random filter lines and messages, through the literal road
// (every line taken apart anew) and the kept one (lines planned, answers kept
// per message): both must give the same answers, errors and trace lines.
//
// Input: fields separated by two NULs. The first field is a flags byte (bit 0
// the upper-case option, bit 1 the lines left unprepared) followed by the
// filter lines, one a line; then the parts of up to three messages, six each
// in the order SNDER SBJCT MBODY ATTCH HEADR RWMSG.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/Errors.h"
#include "CodigoComun/FileNames.h"
#include "CodigoComun/LogQueue.h"
#include "fuzz/FuzzSupport.h"
#include "platform/textfile.h"

namespace {

using namespace kalvorin;
using fuzz::finding;
using fuzz::shown;

constexpr std::size_t kMaxLines = 12;
constexpr std::size_t kMaxMessages = 3;

struct Case {
    bool uppercase = false;
    bool prepared = true;
    std::vector<std::string> lines;
    std::vector<std::array<std::string, 6>> messages;
};

Case read_case(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> f = fuzz::fields(data, size);
    Case c;
    const std::string& head = f[0];
    const unsigned flags = head.empty() ? 0 : static_cast<unsigned char>(head[0]);
    c.uppercase = flags & 1;
    c.prepared = !(flags & 2);
    c.lines = fuzz::split(head.empty() ? std::string() : head.substr(1), "\n");
    if (c.lines.size() > kMaxLines) c.lines.resize(kMaxLines);
    for (std::size_t first = 1; first < f.size() || c.messages.empty(); first += 6) {
        if (c.messages.size() == kMaxMessages) break;
        std::array<std::string, 6>& m = c.messages.emplace_back();
        for (std::size_t k = 0; k < 6 && first + k < f.size(); ++k) m[k] = f[first + k];
    }
    return c;
}

// Each line's answer or error, then each message's trace.
struct Road {
    std::vector<std::string> outcomes;
    std::vector<std::string> traces;
    bool too_costly = false;
};

std::string outcome(const std::string& line, bool& too_costly) {
    try {
        return searcher::filtred(line) ? "match" : "no match";
    } catch (const EConvertError& e) {
        return std::string("EConvertError: ") + e.what();
    } catch (const EFilterError& e) {
        return std::string("EFilterError: ") + e.what();
    } catch (const ERegExprTooCostly& e) {
        // The text decides this: a kept pattern compiled for its length
        // class may meet the budget's edge where the literal road does not.
        too_costly = true;
        return std::string("ERegExpr: ") + e.what();
    } catch (const ERegExpr& e) {
        return std::string("ERegExpr: ") + e.what();
    }
}

Road run(const Case& c, bool literal, const std::string& log) {
    set_literal_mode(literal);
    if (!literal && c.prepared) searcher::prepare(c.lines);
    Road road;
    for (const auto& m : c.messages) {
        platform::reset_file(log);
        {
            const LogRound round;
            searcher::searcher_init(m[0], m[1], m[2], m[3], m[4], m[5], c.uppercase);
            searcher::trace_on();
            for (const std::string& line : c.lines) road.outcomes.push_back(outcome(line, road.too_costly));
            searcher::trace_off();
        }
        road.traces.push_back(platform::read_file(log));
    }
    return road;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string log = fuzz::base_folder() + kLogName;
    const Case c = read_case(data, size);
    const Road literal = run(c, true, log);
    const Road kept = run(c, false, log);
    if (literal.too_costly || kept.too_costly) return 0;
    for (std::size_t k = 0; k < literal.outcomes.size(); ++k)
        if (literal.outcomes[k] != kept.outcomes[k])
            finding("line '" + shown(c.lines[k % c.lines.size()]) + "', message " +
                    std::to_string(k / c.lines.size()) + ": literal " + shown(literal.outcomes[k]) + ", kept " +
                    shown(kept.outcomes[k]));
    for (std::size_t k = 0; k < literal.traces.size(); ++k)
        if (literal.traces[k] != kept.traces[k])
            finding("message " + std::to_string(k) + ": the traces differ\nliteral:\n" + shown(literal.traces[k]) +
                    "\nkept:\n" + shown(kept.traces[k]));
    return 0;
}
