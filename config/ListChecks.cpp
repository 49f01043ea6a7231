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
// message, and a redundant line decides nothing: the checks list says so, and
// the save need not ask. A line that decides every message or that never
// holds is asked about: neither is likely what its writer meant.
bool is_fault(const lint::Finding& f) {
    switch (f.kind) {
        case lint::Kind::stops:
        case lint::Kind::regex_error:
        case lint::Kind::decides_all:
        case lint::Kind::never_holds: return true;
        case lint::Kind::never_decides: return f.what.says == lint::Says::never_matches;
        default: return false;
    }
}

}  // namespace

CheckedLists read_lists_for_check(const BaseFiles& basefolder) {
    CheckedLists out;
    for (std::size_t i = 0; i < lists().size(); ++i) {
        try {
            out.lists.lines[i] = platform::read_lines(basefolder.text_list(i), kBase);
        } catch (const EInOutError& e) {
            out.unreadable.push_back(lists()[i].list + ": " + e.what());
        }
    }
    return out;
}

ListsAfterSave lists_after_save(const BaseFiles& basefolder) {
    ListsAfterSave out;
    for (std::size_t i = 0; i < lists().size(); ++i) {
        const std::string list = basefolder.text_list(i);
        const std::vector<std::string> old =
            platform::file_exists(list, kBase) ? platform::read_lines(list, kBase) : std::vector<std::string>{};
        const std::vector<std::string> waiting = platform::read_lines(basefolder.pending_list(i), kBase);
        // The final ":" of the merged list is not a line the list keeps.
        out.kept[i] = lines_of(merged_list(old, {})).size() - 1;
        out.lists.lines[i] = lines_of(merged_list(old, waiting));
    }
    return out;
}

std::vector<lint::Finding> faults_in_waiting_lines(const ListsAfterSave& after, bool uppercase,
                                                   const lint::BetweenLines& between) {
    std::vector<lint::Finding> out;
    for (const lint::Finding& f : lint::check(after.lists, uppercase, after.kept, between).findings)
        if (is_fault(f)) out.push_back(f);
    return lint::by_severity(std::move(out));
}

std::string finding_text(const lint::Finding& f, const inspect::FilterLists& lists, const lint::Templates& texts) {
    const lint::Words place{lint::Says::line_at, {inspect::list_name(f.list), std::to_string(f.number)}};
    return lint::render(place, texts) + ": " + lint::visible(lint::shortened(lists.lines[f.list][f.number - 1])) +
           "\n    " + lint::render({lint::label(f.kind), {}}, texts) + ": " + lint::render(f.fix, texts) + "\n    " +
           lint::render(f.what, texts) + "\n";
}

std::string faults_text(const std::vector<lint::Finding>& faults, const inspect::FilterLists& lists,
                        const lint::Templates& texts) {
    std::string out;
    for (const lint::Finding& f : faults) out += finding_text(f, lists, texts);
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
