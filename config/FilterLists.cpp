#include "config/FilterLists.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <system_error>

#include "CodigoComun/BaseFiles.h"
#include "CodigoComun/DefaultLists.h"
#include "platform/errors.h"
#include "platform/textfile.h"

namespace kalvorin::config {

const std::array<ListFiles, 3>& lists() {
    static const std::array<ListFiles, 3> all = [] {
        std::array<ListFiles, 3> out;
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = {BaseFiles::text_list_name(i), BaseFiles::pending_list_name(i), kListTitles[i]};
        return out;
    }();
    return all;
}

namespace {

// Lines kept in a list, and pending lines taken into it, must be longer than these.
constexpr std::size_t kMinListLine = 2;
constexpr std::size_t kMinPendingLine = 5;

// The lists and pending files are files of the base folder: a link or a pipe
// in a list's name is refused, never followed.
constexpr auto kBase = platform::Place::BaseFolder;

// Opening for appending changes nothing in the file but fails as a write would.
void check_writable(const std::string& path) {
    platform::TextWriter file(path, platform::TextWriter::Mode::Append, kBase);
    file.close();
}

// The new content of a list on its way into the list's place is written to
// "~" + the list's name + "." + 16 hexadecimal digits, beside the list.
constexpr int kScratchDigits = 16;

std::string scratch_prefix(const std::filesystem::path& target) { return "~" + target.filename().string() + "."; }

bool is_scratch_of(const std::filesystem::path& target, const std::string& leaf) {
    const std::string prefix = scratch_prefix(target);
    return leaf.size() == prefix.size() + kScratchDigits && leaf.starts_with(prefix) &&
           leaf.find_first_not_of("0123456789abcdef", prefix.size()) == std::string::npos;
}

// A scratch name that no file has: a user's own file of any name is never
// overwritten.
std::filesystem::path unused_name_beside(const std::filesystem::path& target) {
    std::random_device random;
    std::uniform_int_distribution<std::uint64_t> any;
    std::error_code error;
    for (;;) {
        char suffix[kScratchDigits + 1];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(any(random)));
        const std::filesystem::path name = target.parent_path() / (scratch_prefix(target) + suffix);
        if (!std::filesystem::exists(std::filesystem::symlink_status(name, error))) return name;
    }
}

// The new content of a list on its way into the list's place, in a new file
// beside the list. Until it is there, the file is removed again when the
// object goes, so that a failed save leaves nothing behind.
class ScratchFile {
public:
    // Raises EInOutError when the folder takes no new file.
    explicit ScratchFile(const std::filesystem::path& target)
        : path_(unused_name_beside(target).string()), file_(path_, platform::TextWriter::Mode::New) {}
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile() {
        std::error_code ignored;
        if (!placed_) std::filesystem::remove(path_, ignored);
    }
    // Writes the content and gives the file the permission bits of the list
    // it replaces. The file is made for its owner alone and its bits are set
    // through the open file, so that neither a private list is readable
    // while it is written nor a link put in its name takes the bits.
    void write(std::string_view content, const std::optional<std::filesystem::perms>& mode) {
        file_.write(content);
        if (mode) file_.set_mode(*mode);
        file_.close();
    }
    void put_in_place_of(const std::string& target) {
        platform::replace_file(path_, target);
        placed_ = true;
    }

private:
    std::string path_;
    platform::TextWriter file_;
    bool placed_ = false;
};

// The list rewritten where it is, for a folder that takes no new file. If the
// rewrite fails, the old content is written back before the error goes on.
void rewrite_in_place(const std::string& target, std::string_view content) {
    const std::string old = platform::read_file(target, kBase);
    try {
        platform::write_file(target, content, kBase);
    } catch (const EInOutError&) {
        try {
            platform::write_file(target, old, kBase);
        } catch (const EInOutError&) {
        }
        throw;
    }
}

// Puts the new content in the list's place in one step through a new file
// beside it, keeping the list's permission bits. A folder that takes no new
// file still lets an existing list be rewritten where it is; a list that does
// not exist yet cannot be made there, and the error names the folder.
void replace_list(const std::string& target, bool exists, std::string_view content) {
    std::optional<ScratchFile> scratch;
    try {
        scratch.emplace(std::filesystem::path(target));
    } catch (const EInOutError& e) {
        if (exists) return rewrite_in_place(target, content);
        throw EInOutError(e.what(), std::filesystem::path(target).parent_path().string());
    }
    std::optional<std::filesystem::perms> mode;
    if (exists) mode = std::filesystem::symlink_status(target).permissions();
    scratch->write(content, mode);
    scratch->put_in_place_of(target);
}

}  // namespace

// Nothing reads a scratch file, and a save that ran to its end left none: the
// ones there are what saves stopped by a crash or a kill left behind.
void remove_stale_scratch(const std::string& list) {
    const std::filesystem::path target(list);
    std::error_code error;
    std::filesystem::directory_iterator entry(target.parent_path().empty() ? "." : target.parent_path(), error);
    for (; !error && entry != std::filesystem::directory_iterator(); entry.increment(error)) {
        std::error_code kept;
        if (is_scratch_of(target, entry->path().filename().string())) std::filesystem::remove(entry->path(), kept);
    }
}

std::string default_list(const ListFiles& files) {
    std::string out = std::string(files.title) + "\r\n" + kDefaultComment + "\r\n";
    for (const char* line : kPlaceholderLines) out += std::string(line) + "\r\n";
    return out + ":\r\n";
}

void rewrite_list(const std::string& list, std::string_view content) {
    replace_list(list, platform::file_exists(list, kBase), content);
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
// The new list is written to a new file beside the list and put in the
// list's place in one step (replace_list). The pending file is emptied only once the new
// list is in place, so a failed save loses no waiting line; and as both files
// are first checked to be writable, a save that fails stops before the list
// changes, so no waiting line can be merged twice. A crash or a kill between
// the two steps leaves the lines in the new list and in the pending file too;
// start-up empties the pending files before anything can be saved again.
void save_list(const std::string& list, const std::string& pending) {
    const std::vector<std::string> waiting = platform::read_lines(pending, kBase);
    const bool exists = platform::file_exists(list, kBase);
    const std::string content = merged_list(exists ? platform::read_lines(list, kBase) : std::vector<std::string>{}, waiting);

    check_writable(pending);
    // Replacing needs only the folder to be writable; a list that may not be
    // rewritten must refuse the save as rewriting it in place would.
    if (exists) check_writable(list);
    replace_list(list, exists, content);
    platform::reset_file(pending, kBase);
}

}  // namespace kalvorin::config
