#include "config/Language.h"

#include <algorithm>
#include <vector>

#include "CodigoComun/FileNames.h"
#include "platform/textfile.h"

namespace kalvorin::config {

void read_language_files(const std::string& folder, LanguageSlots& slots) {
    for (const char* name : kLanguageFiles) {
        std::vector<std::string> lines = platform::read_lines(folder + name, platform::Place::BaseFolder);
        if (lines.size() > slots.size()) lines.resize(slots.size());
        std::copy(lines.begin(), lines.end(), slots.begin());
    }
}

}  // namespace kalvorin::config
