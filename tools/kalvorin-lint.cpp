// kalvorin-lint: checks the three filter lists of a base folder for lines that
// stop the scoring, patterns that fail or cost the engine its bounds, and
// lines that can never decide a message.
#include <iostream>
#include <string>
#include <vector>

#include "CodigoComun/BaseFiles.h"
#include "CodigoComun/ConfigSys.h"
#include "inspect/LineUse.h"
#include "inspect/ListFiles.h"
#include "inspect/Tsv.h"
#include "inspect/LogReader.h"
#include "platform/errors.h"
#include "platform/terminal.h"
#include "tools/Lint.h"

namespace {

using namespace kalvorin;

const char* kUsage =
    "usage: kalvorin-lint [--format tsv] [BASEFOLDER]\n"
    "       kalvorin-lint --usage [BASEFOLDER]\n"
    "Checks secure.filters.txt, trash.filters.txt and suspect.filters.txt in BASEFOLDER\n"
    "(the stored base folder unless given), as the plug-in reads them.\n"
    "  --format tsv  one finding a row: list, line, kind, finding, the line itself,\n"
    "                what to change; a first row names the columns; tabs, line breaks\n"
    "                and backslashes in a field are written \\t, \\n, \\r and \\\\\n"
    "  --usage       what each filter line decided among the messages of the plug-in's\n"
    "                log (plugin.log.txt in BASEFOLDER), scored with the lists as they\n"
    "                are now: a first row names the columns, then one row a line: list,\n"
    "                line, messages decided, messages since it last decided, note\n"
    "                (unused, others-decide or -), the line itself; exit status 0, or\n"
    "                2 when the log or the lists cannot be read\n"
    "kinds: stops, regex-error, regex-cost, decides-all, never-holds, always-holds,\n"
    "       unclosed, no-operator, utf-8, duplicate, never-decides\n"
    "exit status: 0 no problem found, 1 problems found, 2 usage, the lists or the\n"
    "settings could not be read, or the output could not be written\n";

enum Exit : int { kClean = 0, kProblems = 1, kCannotCheck = 2 };

int usage_error(const std::string& what) {
    std::cerr << "kalvorin-lint: " << what << "\n" << kUsage;
    return kCannotCheck;
}

// "1 problem", "2 problems".
std::string counted(std::size_t n, const std::string& one, const std::string& many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string disabled_text(std::size_t n) {
    return counted(n, "comment line reads as a filter line without its ':'",
                   "comment lines read as filter lines without their ':'");
}

void print_tsv(const lint::Report& r, const inspect::FilterLists& lists) {
    std::cout << "list\tline\tkind\tfinding\ttext\tchange\n";
    for (const lint::Finding& f : r.findings)
        std::cout << inspect::list_name(f.list) << "\t" << f.number << "\t" << lint::kind_name(f.kind) << "\t"
                  << inspect::tsv_field(lint::english(f.what, lint::Style::raw)) << "\t"
                  << inspect::tsv_field(lists.lines[f.list][f.number - 1]) << "\t"
                  << inspect::tsv_field(lint::english(f.fix, lint::Style::raw)) << "\n";
    if (r.disabled_comments > 0)
        std::cout << "-\t-\tdisabled-comments\t" << disabled_text(r.disabled_comments) << "\t\t\n";
}

void print_text(const lint::Report& r, const inspect::FilterLists& lists) {
    for (std::size_t i = 0; i < r.findings.size(); ++i) {
        const lint::Finding& f = r.findings[i];
        const bool same_line = i > 0 && r.findings[i - 1].list == f.list && r.findings[i - 1].number == f.number;
        // The line echoed short and visible, and what to change before what
        // was found, so that the reason never waits behind a long line.
        if (!same_line)
            std::cout << inspect::list_name(f.list) << " line " << f.number << ": "
                      << lint::visible(lint::shortened(lists.lines[f.list][f.number - 1])) << "\n";
        std::cout << "  " << lint::kind_name(f.kind) << ": " << lint::english(f.fix) << "\n    "
                  << lint::english(f.what) << "\n";
    }
    std::cout << counted(r.findings.size(), "problem", "problems") << " in "
              << counted(r.filter_lines, "filter line", "filter lines");
    if (r.disabled_comments > 0) std::cout << "; " << disabled_text(r.disabled_comments);
    std::cout << "\n";
}

// The rows of line use, most decisions first; the settings are the stored ones.
int print_line_use(const std::string& base, bool stored) {
    const inspect::FilterLists lists =
        inspect::read_lists(base, stored ? platform::Place::BaseFolder : platform::Place::Anywhere);
    const std::vector<inspect::LoggedMessage> logged = inspect::logged_history(BaseFiles(base).log());
    std::cout << inspect::line_use_tsv(inspect::line_use(inspect::PassSettings::from_store(), lists, logged), lists);
    return kClean;
}

}  // namespace

int run(int argc, char** argv) {
    bool tsv = false;
    bool usage = false;
    std::vector<std::string> folders;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--format") {
            if (i + 1 >= argc || std::string(argv[i + 1]) != "tsv") return usage_error("--format takes tsv");
            tsv = true;
            ++i;
        } else if (a == "--usage") {
            usage = true;
        } else if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return kClean;
        } else if (a == "--version") {
            std::cout << "kalvorin-lint " << KALVORIN_VERSION << "\n";
            return kClean;
        } else if (a.rfind("--", 0) == 0) {
            return usage_error("unknown option " + a);
        } else {
            folders.push_back(a);
        }
    }
    if (folders.size() > 1) return usage_error("one base folder at most");
    try {
        const bool stored = folders.empty();
        const std::string base = stored ? stored_base_files().folder() : inspect::as_basefolder(folders.front());
        if (usage) return print_line_use(base, stored);
        const bool uppercase = clsConfigSys().get_uppercase();
        const inspect::FilterLists lists =
            inspect::read_lists(base, stored ? platform::Place::BaseFolder : platform::Place::Anywhere);
        const lint::Report report = lint::check(lists, uppercase);
        if (tsv) print_tsv(report, lists);
        else print_text(report, lists);
        return report.findings.empty() ? kClean : kProblems;
    } catch (const EInOutError& e) {
        std::cerr << "kalvorin-lint: " << (e.path().empty() ? "" : e.path() + ": ") << e.what() << "\n";
    } catch (const KalvorinError& e) {
        std::cerr << "kalvorin-lint: " << e.what() << "\n";
    }
    return kCannotCheck;
}

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    kalvorin::platform::watch_standard_output();
    // A report that did not all arrive is no report.
    return kalvorin::platform::finish_output(run(argc, argv), "kalvorin-lint: ", kCannotCheck);
}
