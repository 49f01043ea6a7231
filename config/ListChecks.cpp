#include "config/ListChecks.h"

#include <algorithm>

#include "CodigoComun/Errors.h"
#include "config/FilterLists.h"
#include "platform/errors.h"
#include "platform/textfile.h"

namespace kalvorin::config {

namespace {

constexpr auto kBase = platform::Place::BaseFolder;

std::vector<std::string> lines_of(const std::string& content) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (std::size_t end; (end = content.find("\r\n", from)) != std::string::npos; from = end + 2)
        out.push_back(content.substr(from, end - from));
    out.push_back(content.substr(from));
    return out;
}

// A pattern out of its budget on a message only passes its line over for that
// message: the checks list says so, and the save need not ask.
bool is_fault(lint::Kind kind) { return kind == lint::Kind::stops || kind == lint::Kind::regex_error; }

}  // namespace

CheckedLists read_lists_for_check(const std::string& basefolder) {
    CheckedLists out;
    for (std::size_t i = 0; i < lists().size(); ++i) {
        try {
            out.lists.lines[i] = platform::read_lines(basefolder + lists()[i].list, kBase);
        } catch (const EInOutError& e) {
            out.unreadable.push_back(lists()[i].list + ": " + e.what());
        }
    }
    return out;
}

ListsAfterSave lists_after_save(const std::string& basefolder) {
    ListsAfterSave out;
    for (std::size_t i = 0; i < lists().size(); ++i) {
        const std::string list = basefolder + lists()[i].list;
        const std::vector<std::string> old =
            platform::file_exists(list, kBase) ? platform::read_lines(list, kBase) : std::vector<std::string>{};
        const std::vector<std::string> waiting = platform::read_lines(basefolder + lists()[i].pending, kBase);
        // The final ":" of the merged list is not a line the list keeps.
        out.kept[i] = lines_of(merged_list(old, {})).size() - 1;
        out.lists.lines[i] = lines_of(merged_list(old, waiting));
    }
    return out;
}

std::vector<lint::Finding> faults_in_waiting_lines(const ListsAfterSave& after, bool uppercase) {
    std::vector<lint::Finding> out;
    for (const lint::Finding& f : lint::check(after.lists, uppercase).findings)
        if (is_fault(f.kind) && f.number > after.kept[f.list]) out.push_back(f);
    return lint::by_severity(std::move(out));
}

std::string faults_text(const std::vector<lint::Finding>& faults, const inspect::FilterLists& lists) {
    std::string out;
    for (const lint::Finding& f : faults)
        out += std::string(inspect::list_name(f.list)) + " line " + std::to_string(f.number) + ": " +
               lists.lines[f.list][f.number - 1] + "\n    " + f.text + "\n";
    return out;
}

std::size_t convert_utf8_lines(const std::string& list) {
    const std::string content = platform::read_file(list, kBase);
    std::string out;
    std::size_t changed = 0;
    std::size_t from = 0;
    while (from < content.size()) {
        std::size_t end = content.find('\n', from);
        end = end == std::string::npos ? content.size() : end + 1;
        std::size_t text_end = end;
        while (text_end > from && (content[text_end - 1] == '\n' || content[text_end - 1] == '\r')) --text_end;
        const std::string line = content.substr(from, text_end - from);
        const std::optional<std::string> fixed = lint::utf8_fix(line);
        out += fixed ? *fixed : line;
        out.append(content, text_end, end - text_end);
        if (fixed) ++changed;
        from = end;
    }
    if (changed > 0) rewrite_list(list, out);
    return changed;
}

}  // namespace kalvorin::config
