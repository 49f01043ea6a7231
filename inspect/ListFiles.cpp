#include "inspect/ListFiles.h"

#include "CodigoComun/BaseFiles.h"
#include "CodigoComun/ConfigSys.h"
#include "platform/paths.h"
#include "platform/textfile.h"

namespace kalvorin::inspect {

std::string as_basefolder(const std::string& folder) {
    const std::string& sep = platform::path_separator();
    if (folder.ends_with(sep) || folder.ends_with('/')) return folder;
    return folder + sep;
}

std::string stored_basefolder() { return stored_base_files().folder(); }

FilterLists read_lists(const std::string& basefolder, platform::Place place) {
    const BaseFiles files(basefolder);
    FilterLists lists;
    for (std::size_t i = 0; i < kListNames.size(); ++i)
        lists.lines[i] = platform::read_lines(files.text_list(i), place);
    return lists;
}

const char* list_name(std::size_t list) { return kListNames[list]; }

}  // namespace kalvorin::inspect
