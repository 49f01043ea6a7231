// The readers of the base folder's text files, each fed the input as a file:
// a filter list (compiled by the plug-in's initialisation, then scored
// through), a list and its pending file (merged by the configuration
// program's save), the language file and a bulk creation source file.
//
// Input: a selector byte, then the file's content. For the save the content
// is the list, two NULs and the pending file; for the bulk source the
// selector also chooses the kind of field test.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/Errors.h"
#include "config/BulkBatch.h"
#include "config/FieldTest.h"
#include "config/FilterLists.h"
#include "config/Language.h"
#include "fuzz/FuzzSupport.h"
#include "platform/textfile.h"
#include "plugin/PluginState.h"
#include "plugin/Scoring.h"

namespace {

using namespace kalvorin;
using fuzz::finding;
using fuzz::shown;

// Lines as the file format defines them, worked out here independently of
// the readers: a line ends at LF, a CR just before the LF goes with it, and
// a last line without a line end still counts.
std::vector<std::string> lines_of(std::string_view content) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < content.size();) {
        const std::size_t lf = content.find('\n', start);
        std::string line(content.substr(start, lf == std::string_view::npos ? std::string_view::npos : lf - start));
        if (lf == std::string_view::npos) {
            lines.push_back(line);
            break;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = lf + 1;
    }
    return lines;
}

void expect_file(const std::string& path, const std::string& want, const std::string& what) {
    const std::string got = platform::read_file(path);
    if (got != want) finding(what + ": '" + shown(got) + "', not '" + shown(want) + "'");
}

std::int32_t host_part(HostArg, std::int32_t part, char* buffer, std::int32_t size) {
    static const std::string parts[] = {"Subject: win\r\nFrom: a@b.c\r\n", "You win a prize", "", "a@b.c", "win",
                                        "Subject: win\r\n\r\nYou win <img src=\"http://x/\">"};
    const std::string& text = parts[part - kPartHeader];
    if (!buffer) return static_cast<std::int32_t>(text.size());
    const std::int32_t n = std::min(static_cast<std::int32_t>(text.size()), size);
    std::memcpy(buffer, text.data(), static_cast<std::size_t>(n));
    return n;
}

void filter_list(const std::string& base, std::string_view content) {
    fuzz::replace_file(base + "secure.filters.txt", content);
    plugin_state() = PluginState();
    initialize();
    std::string compiled;
    for (const std::string& line : lines_of(content)) compiled += line + "\r\n";
    expect_file(base + "secure.filters.dat", compiled + ":", "the compiled list");
    const std::int32_t score = get_spam_score(0, host_part);
    const PluginState& s = plugin_state();
    if (score != 0 && score != s.secure && score != s.trash && score != s.suspect)
        finding("score " + std::to_string(score) + " of no list");
    finalize();
}

void save(const std::string& base, std::string_view content) {
    const std::vector<std::string> f = fuzz::split(content, fuzz::kFieldSeparator);
    const std::string list = base + "secure.filters.txt", pending = base + "secure.edt.tmp";
    fuzz::replace_file(list, f[0]);
    fuzz::replace_file(pending, f.size() > 1 ? f[1] : std::string());
    config::save_list(list, pending);
    std::string merged;
    for (const std::string& line : lines_of(f[0]))
        if (line.size() > 2) merged += line + "\r\n";
    if (f.size() > 1)
        for (const std::string& line : lines_of(f[1]))
            if (line.size() > 5) merged += line + "\r\n";
    expect_file(list, merged + ":", "the saved list");
    expect_file(pending, "", "the pending file after the save");
}

void language(const std::string& base, std::string_view content) {
    fuzz::replace_file(base + "lang.txt", content);
    config::LanguageSlots slots;
    config::read_language_files(base, slots);
    const std::vector<std::string> lines = lines_of(content);
    for (std::size_t k = 0; k < slots.size(); ++k) {
        const std::string want = k < lines.size() ? lines[k] : "E" + std::to_string(k + 1);
        if (slots[k] != want) finding("slot " + std::to_string(k + 1) + ": '" + shown(slots[k]) + "', not '" + shown(want) + "'");
    }
}

// The lines that bulk creation writes must be ones the filter code can take
// apart; a pattern that does not compile is the user's choice.
void bulk_source(const std::string& base, unsigned selector, std::string_view content) {
    const auto kind = *config::TestKind::from_codes(static_cast<char>('1' + selector % 6), selector / 6 % 2 ? '-' : '=',
                                                    "\"#%"[selector / 12 % 3]);
    const std::string source = base + "bulk.txt", staging = base + "~tmp.dat";
    fuzz::replace_file(source, content);
    fuzz::replace_file(staging, "");
    const config::BatchCount count = config::generate_from_file(kind, source, staging, [](std::size_t) {});
    std::string want;
    std::size_t written = 0;
    for (const std::string& text : lines_of(content))
        if (text.size() >= config::kMinFileLine && kind.refusal(text) == config::Refusal::None) {
            want += kind.test(text) + "\r\n";
            ++written;
        }
    expect_file(staging, want, "the staging file");
    if (count.written != written) finding("counted " + std::to_string(count.written) + " tests written");
    searcher::searcher_init("none", "none", "none", "none", "none", "none", true);
    for (const std::string& line : platform::read_lines(staging)) {
        try {
            searcher::filtred(line);
        } catch (const ERegExpr&) {
        } catch (const KalvorinError& e) {
            finding("bulk line '" + shown(line) + "': " + e.what());
        }
    }
    searcher::forget();
}

std::string set_up() {
    const std::string& base = fuzz::base_folder();
    for (const char* name : {"secure", "trash", "suspect"})
        fuzz::replace_file(base + name + ".filters.txt", ":\r\nsbjct=#win#\r\n");
    std::string english;
    for (std::size_t k = 1; k <= config::kLanguageSlots; ++k) english += "E" + std::to_string(k) + "\r\n";
    fuzz::replace_file(base + "lang.eng.txt", english);
    return base;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string base = set_up();
    if (size == 0) return 0;
    const unsigned selector = data[0];
    const std::string_view content(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (selector % 4) {
        case 0: filter_list(base, content); break;
        case 1: save(base, content); break;
        case 2: language(base, content); break;
        default: bulk_source(base, selector / 4, content); break;
    }
    return 0;
}
