// kalvorin-lint: checks the three filter lists of a base folder for lines that
// stop the scoring, patterns that fail or cost the engine its bounds, and
// lines that can never decide a message.
#include <iostream>
#include <string>
#include <vector>

#include "CodigoComun/ConfigSys.h"
#include "inspect/ListFiles.h"
#include "platform/errors.h"
#include "platform/terminal.h"
#include "tools/Lint.h"

namespace {

using namespace kalvorin;

const char* kUsage =
    "usage: kalvorin-lint [--format tsv] [BASEFOLDER]\n"
    "Checks secure.filters.txt, trash.filters.txt and suspect.filters.txt in BASEFOLDER\n"
    "(the stored base folder unless given), as the plug-in reads them.\n"
    "  --format tsv  one finding a row: list, line, kind, finding, the line itself;\n"
    "                a first row names the columns; tabs, line breaks and backslashes\n"
    "                in a field are written \\t, \\n, \\r and \\\\\n"
    "kinds: stops, regex-error, regex-cost, decides-all, never-holds, utf-8, duplicate,\n"
    "       never-decides\n"
    "exit status: 0 no problem found, 1 problems found, 2 usage, the lists or the\n"
    "settings could not be read, or the output could not be written\n";

enum Exit : int { kClean = 0, kProblems = 1, kCannotCheck = 2 };

int usage_error(const std::string& what) {
    std::cerr << "kalvorin-lint: " << what << "\n" << kUsage;
    return kCannotCheck;
}

std::string tsv_field(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\\') out += "\\\\";
        else out += c;
    }
    return out;
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
    std::cout << "list\tline\tkind\tfinding\ttext\n";
    for (const lint::Finding& f : r.findings)
        std::cout << inspect::list_name(f.list) << "\t" << f.number << "\t" << lint::kind_name(f.kind) << "\t"
                  << tsv_field(f.text) << "\t" << tsv_field(lists.lines[f.list][f.number - 1]) << "\n";
    if (r.disabled_comments > 0)
        std::cout << "-\t-\tdisabled-comments\t" << disabled_text(r.disabled_comments) << "\t\n";
}

void print_text(const lint::Report& r, const inspect::FilterLists& lists) {
    for (std::size_t i = 0; i < r.findings.size(); ++i) {
        const lint::Finding& f = r.findings[i];
        const bool same_line = i > 0 && r.findings[i - 1].list == f.list && r.findings[i - 1].number == f.number;
        if (!same_line)
            std::cout << inspect::list_name(f.list) << " line " << f.number << ": " << lists.lines[f.list][f.number - 1]
                      << "\n";
        std::cout << "  " << lint::kind_name(f.kind) << ": " << f.text << "\n";
    }
    std::cout << counted(r.findings.size(), "problem", "problems") << " in "
              << counted(r.filter_lines, "filter line", "filter lines");
    if (r.disabled_comments > 0) std::cout << "; " << disabled_text(r.disabled_comments);
    std::cout << "\n";
}

}  // namespace

int run(int argc, char** argv) {
    bool tsv = false;
    std::vector<std::string> folders;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--format") {
            if (i + 1 >= argc || std::string(argv[i + 1]) != "tsv") return usage_error("--format takes tsv");
            tsv = true;
            ++i;
        } else if (a == "--help" || a == "-h") {
            std::cout << kUsage;
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
        const std::string base = stored ? get_basefolder() : inspect::as_basefolder(folders.front());
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
