#include "fuzz/FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "CodigoComun/ConfigSys.h"
#include "platform/registry.h"

namespace kalvorin::fuzz {

namespace {

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kalvorin-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("no scratch folder");
        path_ = pattern + "/";
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string set_up_base() {
    ::setenv("KALVORIN_HIVE", (scratch() + "hive.db").c_str(), 1);
    const std::string base = scratch() + "base/";
    std::filesystem::create_directory(base);
    replace_file(base + "version.ini", "1.0\r\n");
    clsConfigSys().set_basefolder(base.substr(0, base.size() - 1));
    return base;
}

}  // namespace

std::vector<std::string> split(std::string_view data, std::string_view separator) {
    std::vector<std::string> out;
    for (std::size_t start = 0;;) {
        const std::size_t at = data.find(separator, start);
        out.emplace_back(data.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) return out;
        start = at + separator.size();
    }
}

std::vector<std::string> fields(const std::uint8_t* data, std::size_t size) {
    return split(std::string_view(reinterpret_cast<const char*>(data), size), kFieldSeparator);
}

const std::string& scratch() {
    static const ScratchFolder folder;
    return folder.path();
}

const std::string& base_folder() {
    static const std::string base = set_up_base();
    return base;
}

void replace_file(const std::string& path, std::string_view content) {
    std::filesystem::remove(path);
    std::ofstream out(path, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

void replace_hive(std::string_view content) {
    const std::string hive = platform::hive_location();
    for (const char* suffix : {"-journal", "-wal", "-shm"}) std::filesystem::remove(hive + suffix);
    replace_file(hive, content);
}

std::string shown(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            out.push_back(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        }
    }
    return out;
}

void finding(const std::string& what) {
    std::fprintf(stderr, "FINDING: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace kalvorin::fuzz
