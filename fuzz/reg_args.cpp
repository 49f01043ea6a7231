// kalvorin-reg's command lines against a scratch settings store that starts
// each run as the same small hive. A command ends with status 0 and nothing
// on standard error, or with status 1 and one "ERROR: " line; one that says
// it completed has deleted the key or added the value it names.
//
// Input: fields separated by single NULs, as no argument can hold one. The
// first field is what standard input holds; when it is empty no question is
// asked. The others are the arguments of up to four commands, run in turn,
// with a field "&&" between two commands.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/registry.h"
#include "platform/textfile.h"
#include "tools/RegTool.h"

namespace {

using namespace kalvorin;
using fuzz::finding;
using fuzz::shown;

constexpr std::size_t kMaxArguments = 16;
constexpr std::size_t kMaxCommands = 4;

int command(const std::vector<std::string>& args, const std::string& input, std::string& out, std::string& err) {
    std::istringstream in(input);
    std::ostringstream o, e;
    const int status = tools::reg_command(args, {in, !input.empty(), o, e});
    out = o.str();
    err = e.str();
    return status;
}

// The store each run starts from: every value type, nested keys, and a
// write-denied key below a writable one.
std::string make_hive(const std::string& hive) {
    const std::vector<std::vector<std::string>> commands = {
        {"add", "HKCU\\Software\\kalvorin\\directorys", "/v", "basefolder", "/d", "/tmp/base"},
        {"add", "HKCU\\Software\\kalvorin\\scores", "/v", "secure", "/t", "REG_DWORD", "/d", "-1000"},
        {"add", "HKCU\\Software\\kalvorin\\scores", "/v", "trash", "/t", "REG_DWORD", "/d", "0x3e8"},
        {"add", "HKCU\\Software\\kalvorin\\settings", "/v", "extimg", "/t", "REG_EXPAND_SZ", "/d", "%x%"},
        {"add", "HKCU\\Software\\kalvorin\\settings", "/v", "big", "/t", "REG_QWORD", "/d", "-1"},
        {"add", "HKCU\\Software\\kalvorin\\settings", "/v", "raw", "/t", "REG_SZ", "/raw", "6100620000"},
        {"add", "HKCU\\Software\\kalvorin\\settings", "/ve", "/t", "REG_BINARY", "/d", "00ff"},
        {"add", "HKCU\\Software\\kalvorin\\tree\\locked\\leaf", "/v", "x", "/d", "y"},
        {"deny", "HKCU\\Software\\kalvorin\\tree\\locked"},
    };
    for (const auto& c : commands) {
        std::string out, err;
        if (command(c, "", out, err) != 0) finding("setting up the hive: " + err);
    }
    return platform::read_file(hive);
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

void check_completed(const std::vector<std::string>& args) {
    if (args.size() < 2) return;
    std::string key = args[1];
    for (const std::string root : {"HKCU", "HKEY_CURRENT_USER"}) {
        const std::string named = upper(args[1]);
        if (named == root) key.clear();
        if (named.starts_with(root + "\\")) key.erase(0, root.size() + 1);
    }
    std::optional<std::string> value;
    bool all_values = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::string a = upper(args[i]);
        if (a == "/V" && i + 1 < args.size()) value = args[++i];
        else if (a == "/VE") value = std::string();
        else if (a == "/VA") all_values = true;
        else if (a == "/T" || a == "/D" || a == "/RAW") ++i;
    }
    const std::string verb = upper(args[0]);
    const auto stored = platform::RegKey::open_read(key);
    if (verb == "DELETE" && !value && !all_values && stored)
        finding("'delete " + shown(args[1]) + "' completed and the key is still there");
    if (verb == "ADD" && value && !(stored && stored->query(*value)))
        finding("'add " + shown(args[1]) + " /v " + shown(*value) + "' completed and the value is not there");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string start = [] {
        fuzz::base_folder();
        return make_hive(platform::hive_location());
    }();
    fuzz::replace_hive(start);
    const std::vector<std::string> f =
        fuzz::split(std::string_view(reinterpret_cast<const char*>(data), size), {"\0", 1});
    std::vector<std::vector<std::string>> commands(1);
    for (auto field = f.begin() + 1; field != f.end(); ++field) {
        if (*field != "&&") {
            if (commands.back().size() < kMaxArguments) commands.back().push_back(*field);
        } else if (commands.size() < kMaxCommands) {
            commands.emplace_back();
        } else {
            break;
        }
    }
    for (const auto& args : commands) {
        std::string out, err;
        const int status = command(args, f[0], out, err);
        const bool one_error_line = err.starts_with("ERROR: ") && std::count(err.begin(), err.end(), '\n') == 1 &&
                                    err.ends_with('\n');
        if (!(status == 0 && err.empty()) && !(status == 1 && one_error_line))
            finding("status " + std::to_string(status) + " with standard error '" + shown(err) + "'");
        if (status == 0 && out.ends_with("The operation completed successfully.\n")) check_completed(args);
    }
    return 0;
}
