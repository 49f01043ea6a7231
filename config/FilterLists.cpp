#include "config/FilterLists.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/errors.h"
#include "platform/textfile.h"

namespace kalvorin::config {

namespace {

// Lines kept in a list, and pending lines taken into it, must be longer than these.
constexpr std::size_t kMinListLine = 2;
constexpr std::size_t kMinPendingLine = 5;

// The file a list's name stands for: a symbolic link is followed to the file
// it points to, so that saving rewrites that file and leaves the link a link.
std::string resolved_list(const std::string& list) {
    constexpr int kMaxLinks = 40;
    std::filesystem::path path(list);
    std::error_code error;
    for (int links = 0; std::filesystem::is_symlink(path, error); ++links) {
        if (links == kMaxLinks) throw EInOutError(platform::io_message(ELOOP, list), list);
        const std::filesystem::path target = std::filesystem::read_symlink(path, error);
        if (error) throw EInOutError(platform::io_message(error.value(), list), list);
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path.string();
}

// Opening for appending changes nothing in the file but fails as a write would.
void check_writable(const std::string& path) {
    platform::TextWriter file(path, platform::TextWriter::Mode::Append);
    file.close();
}

// The new content of a list on its way into the list's place. Until it is
// there, the scratch file is removed again when the object goes, so that a
// failed save leaves nothing behind.
class ScratchFile {
public:
    explicit ScratchFile(std::string path) : path_(std::move(path)) {}
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile() {
        std::error_code ignored;
        // Only a file is ours to remove; a folder of that name is not.
        if (!placed_ && platform::file_exists(path_)) std::filesystem::remove(path_, ignored);
    }
    void write(std::string_view content) { platform::write_file(path_, content); }
    void put_in_place_of(const std::string& target) {
        platform::replace_file(path_, target);
        placed_ = true;
    }

private:
    std::string path_;
    bool placed_ = false;
};

}  // namespace

std::string default_list(const ListFiles& files) {
    return std::string(files.title) + "\r\n" + ": <-- this is a comment\r\n" + "snder=\"put your filters here\"\r\n" +
           "snder=\"and here\"\r\n" + ":\r\n";
}

// Reading the list as lines also ends a hand-written last line that has no
// line end, instead of joining the next line onto it.
std::string merged_list(const std::vector<std::string>& list_lines, const std::vector<std::string>& waiting) {
    std::string content;
    auto keep = [&content](const std::string& line, std::size_t shorter) {
        if (line.size() > shorter && line.size() > kMinListLine) content += line + "\r\n";
    };
    for (const std::string& line : list_lines) keep(line, kMinListLine);
    for (const std::string& line : waiting) keep(line, kMinPendingLine);
    return content + ":";
}

// Each list is merged and compacted in one pass, so after a failure the lists
// done before are complete and the others untouched.
//
// The new list is written to a scratch file beside the list and put in the
// list's place in one step. The pending file is emptied only once the new
// list is in place, so a failed save loses no waiting line; and as both files
// are first checked to be writable, a save that fails stops before the list
// changes, so no waiting line can be merged twice.
void save_list(const std::string& list, const std::string& pending) {
    const std::string target = resolved_list(list);
    const std::vector<std::string> waiting = platform::read_lines(pending);
    const bool exists = platform::file_exists(target);
    const std::string content = merged_list(exists ? platform::read_lines(target) : std::vector<std::string>{}, waiting);

    check_writable(pending);
    // Replacing needs only the folder to be writable; a list that may not be
    // rewritten must refuse the save as rewriting it in place would.
    if (exists) check_writable(target);
    ScratchFile scratch((std::filesystem::path(target).parent_path() / "~save.tmp").string());
    scratch.write(content);
    scratch.put_in_place_of(target);
    platform::reset_file(pending);
}

}  // namespace kalvorin::config
