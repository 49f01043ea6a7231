#include "host/PartsDir.h"

#include <stdexcept>
#include <sys/stat.h>

#include "platform/textfile.h"

namespace kalvorin::host {

MessageParts read_parts_dir(const std::string& dir) {
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) throw std::runtime_error(dir + ": not a folder");
    MessageParts parts;
    for (std::size_t i = 0; i < kPartFileNames.size(); ++i) {
        const std::string path = dir + "/" + kPartFileNames[i];
        if (platform::file_exists(path)) parts.text[i] = platform::read_file(path);
    }
    return parts;
}

}  // namespace kalvorin::host
