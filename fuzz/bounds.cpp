// Hostile filter lines and messages, grown from a few bytes: parentheses
// nested hundreds deep, thousands of tests, texts of many kilobytes, lines
// past the longest a line may be, parts of a megabyte. Each message is scored
// as the plug-in scores it, trace on, within the run's time and memory limits
// (scripts/fuzz.sh gives this target a tighter memory limit), and the log it
// writes must stay within the bound that every line's trace keeps to.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/Errors.h"
#include "CodigoComun/FileNames.h"
#include "CodigoComun/LogQueue.h"
#include "fuzz/FuzzSupport.h"
#include "platform/textfile.h"

namespace {

using namespace kalvorin;

// The input read as a stream of small numbers; past its end every read is 0.
class Dials {
public:
    Dials(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    unsigned byte() { return at_ < size_ ? data_[at_++] : 0; }
    unsigned upto(unsigned n) { return n == 0 ? 0 : (byte() << 8 | byte()) % (n + 1); }
    bool more() const { return at_ < size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

constexpr const char* kKeywords[] = {"snder", "SBJCT", "mbody", "attch", "headr", "rwmsg"};
constexpr char kDelimiters[] = {'#', '"', '%'};
// Patterns cheap for the engine: the engine's own budget is tested elsewhere.
constexpr const char* kPatterns[] = {"A+B", "X.Y", "[0-9]+", "^Z", "Q$"};

// A short text ends in the test's number, so that the tests are distinct and
// each is taken apart on its own.
std::string test_text(Dials& d, std::size_t room, unsigned number) {
    if (d.byte() % 8 == 7) return std::string(d.upto(static_cast<unsigned>(room)), static_cast<char>('a' + d.byte() % 26));
    std::string text;
    for (unsigned n = d.byte() % 12; n > 0; --n) text += static_cast<char>('a' + d.byte() % 26);
    return text + std::to_string(number);
}

std::string field_test(Dials& d, std::size_t room, unsigned number) {
    std::string t = kKeywords[d.byte() % 6];
    t += d.byte() % 4 == 0 ? '-' : '=';
    const char delim = kDelimiters[d.byte() % 3];
    t += delim;
    t += delim == '%' ? kPatterns[d.byte() % 5] : test_text(d, room, number);
    t += delim;
    return t;
}

// Tests joined by "+" and "*", some in groups, all inside `depth`
// parentheses, up to a length about the trace's and the line's bounds.
std::string line(Dials& d) {
    constexpr std::size_t kLengths[] = {100, 1000, 1030, 5000, 30000, 65000, 66000};
    const std::size_t length = kLengths[d.byte() % 7];
    const unsigned depth = d.upto(300);
    const unsigned tests = 1 + d.upto(6000);
    std::string body;
    for (unsigned k = 0; k < tests && body.size() < length; ++k) {
        if (k > 0) body += d.byte() % 3 == 0 ? '*' : '+';
        const bool grouped = d.byte() % 5 == 0;
        const std::string test = field_test(d, length - body.size(), k);
        body += grouped ? "(" + test + ")" : test;
    }
    return std::string(depth, '(') + body + std::string(depth, ')');
}

std::string part(Dials& d) {
    std::string text = "Subject: A+B X.Y 123 ";
    const std::size_t length = std::size_t{d.upto(1024)} * 1024;
    while (text.size() < length) text += static_cast<char>('a' + d.byte() % 26);
    return text;
}

// What one line may write to the log while it is scored, as docs/REFERENCE.md
// states it: its own three trace lines, and a procesa line for each test that
// shows the line as it stands only while that is at most 1 KiB long, else its
// length. A test is at least 9 bytes long with its operator, so no more than
// 1024 / 9 + 1 of them meet the line that short.
std::size_t trace_bound(const std::string& text) {
    if (overlong(text)) return 0;
    const std::size_t tests = text.size() / 9 + 1;
    return 4 * (text.size() + 40) + tests * 64 + (1024 / 9 + 1) * (1024 + 64);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string log = fuzz::base_folder() + kLogName;
    Dials d(data, size);
    std::vector<std::string> lines;
    for (unsigned n = 1 + d.byte() % 3; n > 0; --n) lines.push_back(line(d));
    searcher::prepare(lines);
    for (unsigned message = 0; message < 2 && (message == 0 || d.more()); ++message) {
        platform::reset_file(log);
        std::size_t bound = 0;
        {
            const LogRound round;
            // One at a time: the order of a call's arguments is the compiler's.
            std::string sender = part(d), subject = part(d), body = part(d), header = part(d), raw = part(d);
            searcher::searcher_init(std::move(sender), std::move(subject), std::move(body), "", std::move(header),
                                    std::move(raw), d.byte() & 1);
            searcher::trace_on();
            for (const std::string& l : lines) {
                bound += trace_bound(l);
                try {
                    searcher::filtred(l);
                } catch (const EFilterError&) {
                } catch (const EConvertError&) {
                } catch (const ERegExpr&) {
                }
            }
            searcher::trace_off();
            searcher::searcher_done();
        }
        const std::size_t written = platform::read_file(log).size();
        if (written > bound)
            fuzz::finding("the log took " + std::to_string(written) + " bytes, more than the " +
                          std::to_string(bound) + " its lines may write");
    }
    return 0;
}
