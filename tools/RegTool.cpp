#include "tools/RegTool.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/registry.h"

namespace kalvorin::tools {

namespace {

using platform::RegKey;
using platform::RegValue;
using platform::from_little_endian;
using platform::little_endian;

// A command line that is not a command; the usage hint follows its message.
struct UsageError : KalvorinError {
    using KalvorinError::KalvorinError;
};

// A command that cannot be carried out on the store as it is.
struct CommandError : KalvorinError {
    using KalvorinError::KalvorinError;
};

const std::map<std::string, std::uint32_t> kTypes = {
    {"REG_SZ", platform::kRegSz},         {"REG_EXPAND_SZ", platform::kRegExpandSz},
    {"REG_BINARY", platform::kRegBinary}, {"REG_DWORD", platform::kRegDword},
    {"REG_QWORD", platform::kRegQword},   {"REG_MULTI_SZ", platform::kRegMultiSz},
    {"REG_NONE", platform::kRegNone},
};

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

std::string type_name(std::uint32_t t) {
    for (const auto& [name, value] : kTypes)
        if (value == t) return name;
    return "REG_UNKNOWN(" + std::to_string(t) + ")";
}

// "HKCU\Software\x" or "HKEY_CURRENT_USER\Software\x" -> "Software\x".
std::string key_path(const std::string& key) {
    const std::string u = upper(key);
    for (const char* root : {"HKCU", "HKEY_CURRENT_USER"}) {
        const std::string r = root;
        if (u == r) return std::string();
        if (u.rfind(r + "\\", 0) == 0) return key.substr(r.size() + 1);
    }
    throw UsageError("Invalid key name (only HKCU or HKEY_CURRENT_USER): " + key);
}

std::string hex_bytes(const std::string& data) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : data) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

// Hexadecimal digits, two per byte.
std::string parse_hex(const std::string& hex) {
    if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        throw UsageError("The data is not hexadecimal (digits 0-9 and A-F, two per byte): " + hex);
    if (hex.size() % 2 != 0) throw UsageError("The hexadecimal data has an odd number of digits: " + hex);
    std::string out;
    for (std::size_t i = 0; i < hex.size(); i += 2) out.push_back(static_cast<char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// Decimal (a minus sign allowed, stored as two's complement) or 0x hex.
std::uint64_t parse_number(const std::string& text, int bytes) {
    try {
        std::size_t used = 0;
        long long v;
        if (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) {
            // stoull would take a sign after the prefix.
            const std::string hex = text.substr(2);
            if (hex.empty() || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                throw std::invalid_argument(text);
            v = static_cast<long long>(std::stoull(hex, &used, 16));
            used += 2;
        } else {
            v = std::stoll(text, &used, 10);
        }
        if (used != text.size()) throw std::invalid_argument(text);
        const long long lo = bytes == 4 ? INT32_MIN : INT64_MIN;
        const unsigned long long hi = bytes == 4 ? UINT32_MAX : UINT64_MAX;
        if (v < lo || (v > 0 && static_cast<unsigned long long>(v) > hi)) throw std::out_of_range(text);
        return static_cast<std::uint64_t>(v);
    } catch (const std::logic_error&) {
        throw UsageError("Invalid number: " + text);
    }
}

std::string encode(std::uint32_t type, const std::string& data) {
    switch (type) {
        case platform::kRegSz:
        case platform::kRegExpandSz:
            return data + '\0';
        case platform::kRegDword:
            return little_endian(parse_number(data, 4), 4);
        case platform::kRegQword:
            return little_endian(parse_number(data, 8), 8);
        default:
            return parse_hex(data);
    }
}

std::string show(const RegValue& v) {
    switch (v.type) {
        case platform::kRegSz:
        case platform::kRegExpandSz:
            return v.data.substr(0, v.data.find('\0'));
        case platform::kRegDword:
        case platform::kRegQword:
            if (v.data.size() == (v.type == platform::kRegDword ? 4u : 8u)) {
                char buf[32];
                std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(from_little_endian(v.data)));
                return buf;
            }
            return hex_bytes(v.data);
        default:
            return hex_bytes(v.data);
    }
}

struct Options {
    std::optional<std::string> value;  // /v
    bool all_values = false;           // /va
    std::optional<std::string> type;   // /t
    std::optional<std::string> data;   // /d
    std::optional<std::string> raw;    // /raw
    bool force = false;                // /f
};

Options parse_options(const std::vector<std::string>& args, std::size_t from) {
    Options o;
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string a = upper(args[i]);
        auto next = [&]() -> std::string {
            if (i + 1 >= args.size()) throw UsageError("" + args[i] + " needs a value");
            return args[++i];
        };
        if (a == "/V") o.value = next();
        else if (a == "/VE") o.value = std::string();
        else if (a == "/VA") o.all_values = true;
        else if (a == "/T") o.type = upper(next());
        else if (a == "/D") o.data = next();
        else if (a == "/RAW") o.raw = next();
        else if (a == "/F") o.force = true;
        else throw UsageError("Invalid syntax: " + args[i]);
    }
    // One value, or all of them: never both.
    if (o.value && o.all_values) throw UsageError("Invalid syntax: /v and /va cannot be used together");
    return o;
}

// Without /f, a change that replaces or removes something is confirmed
// first, when there is someone at a terminal to ask. False when the answer
// is no.
bool confirmed(const Options& o, const std::string& question, const Console& console) {
    if (o.force || !console.interactive) return true;
    for (;;) {
        console.out << question << " (Yes/No)? " << std::flush;
        std::string answer;
        if (!std::getline(console.in, answer)) return false;
        answer = upper(answer);
        if (answer == "Y" || answer == "YES") return true;
        if (answer == "N" || answer == "NO") return false;
    }
}

int cancelled(const Console& console) {
    console.out << "The operation was cancelled by the user.\n";
    return 0;
}

const char* kNotFound = "The system was unable to find the specified registry key or value.";
const char* kDenied = "Access is denied.";

int query(const std::string& key, const Options& o, const Console& console) {
    auto k = RegKey::open_read(key_path(key));
    if (!k) throw CommandError(kNotFound);
    std::vector<RegValue> values;
    if (o.value) {
        auto v = k->query(*o.value);
        if (!v) throw CommandError(kNotFound);
        values.push_back(*v);
    } else {
        values = k->values();
    }
    console.out << "\n" << key << "\n";
    for (const auto& v : values)
        console.out << "    " << (v.name.empty() ? "(Default)" : v.name) << "    " << type_name(v.type) << "    "
                  << show(v) << "\n";
    console.out << "\n";
    // The subkeys follow the values, each as a full key name.
    if (!o.value)
        for (const auto& name : k->subkeys()) console.out << key << (key.ends_with('\\') ? "" : "\\") << name << "\n";
    return 0;
}

int add(const std::string& key, const Options& o, const Console& console) {
    // Everything is checked before anything is written, so a refused command
    // leaves the store as it was.
    const std::string path = key_path(key);
    if (!o.value && (o.type || o.data || o.raw)) throw UsageError("/t, /d and /raw need /v");
    if (o.raw && o.data) throw UsageError("/d and /raw cannot be used together");
    std::uint32_t type = platform::kRegSz;
    if (o.type) {
        auto it = kTypes.find(*o.type);
        if (it == kTypes.end()) throw UsageError("Invalid type: " + *o.type);
        type = it->second;
    }
    const std::string bytes = o.raw ? parse_hex(*o.raw) : encode(type, o.data.value_or(""));
    if (o.value) {
        const auto existing = RegKey::open_read(path);
        if (existing && existing->query(*o.value) &&
            !confirmed(o, "Value " + (o.value->empty() ? std::string("(Default)") : *o.value) + " exists, overwrite",
                       console))
            return cancelled(console);
    }
    auto k = RegKey::create(path);
    if (!k) throw CommandError(kDenied);
    if (o.value && !k->set(*o.value, type, bytes)) throw CommandError(kDenied);
    console.out << "The operation completed successfully.\n";
    return 0;
}

// Whether the key and every key below it may be changed: a write-denied key
// anywhere in the tree keeps the whole tree.
bool tree_writable(const std::string& path) {
    const auto k = RegKey::open(path);
    if (!k) return false;
    for (const auto& name : k->subkeys())
        if (!tree_writable(path + "\\" + name)) return false;
    return true;
}

int remove(const std::string& key, const Options& o, const Console& console) {
    const std::string path = key_path(key);
    const bool whole_key = !o.value && !o.all_values;
    // The store drops the backslashes around a path, so backslashes alone name the root too.
    if (whole_key && path.find_first_not_of('\\') == std::string::npos)
        throw UsageError("Invalid key name: the root " + key + " cannot be deleted");
    const auto readable = RegKey::open_read(path);
    if (!readable) throw CommandError(kNotFound);
    if (o.value && !readable->query(*o.value)) throw CommandError(kNotFound);
    if (whole_key ? !tree_writable(path) : !RegKey::open(path)) throw CommandError(kDenied);

    const std::string question = whole_key        ? "Permanently delete the registry key " + key
                                 : o.all_values ? "Delete all values under the registry key " + key
                                                : "Delete the registry value " + *o.value;
    if (!confirmed(o, question, console)) return cancelled(console);
    if (whole_key) {
        platform::reg_delete_key(path);
    } else if (o.all_values) {
        for (const auto& v : readable->values()) RegKey::open(path)->remove_value(v.name);
    } else if (!RegKey::open(path)->remove_value(*o.value)) {
        throw CommandError(kNotFound);
    }
    console.out << "The operation completed successfully.\n";
    return 0;
}

int mark(const std::string& key, bool denied, const Console& console) {
    if (!platform::reg_set_denied(key_path(key), denied)) throw CommandError(kNotFound);
    console.out << "The operation completed successfully.\n";
    return 0;
}

// An error is one line: control characters of the arguments it repeats are
// shown in caret notation (a line feed as ^J).
std::string one_line(const std::string& message) {
    std::string out;
    for (const char c : message) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b != 0x7F) {
            out.push_back(c);
        } else {
            out.push_back('^');
            out.push_back(static_cast<char>(b ^ 0x40));
        }
    }
    return out;
}

const char* kUsage =
    "usage: kalvorin-reg query  KEY [/v NAME]\n"
    "       kalvorin-reg add    KEY [/v NAME /t TYPE /d DATA] [/f]\n"
    "       kalvorin-reg add    KEY /v NAME /t TYPE /raw HEX [/f]\n"
    "       kalvorin-reg delete KEY [/v NAME | /va] [/f]\n"
    "       kalvorin-reg deny   KEY\n"
    "       kalvorin-reg allow  KEY\n"
    "KEY: HKCU\\... or HKEY_CURRENT_USER\\...\n";

}  // namespace

int reg_command(const std::vector<std::string>& args, const Console& console) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "/?")) {
        console.out << kUsage << "The store: " << platform::hive_location() << "\n";
        return 0;
    }
    try {
        if (args.size() < 2) throw UsageError("Invalid syntax.");
        const std::string verb = upper(args[0]);
        const std::string& key = args[1];
        const Options o = parse_options(args, 2);
        if (verb == "QUERY") return query(key, o, console);
        if (verb == "ADD") return add(key, o, console);
        if (verb == "DELETE") return remove(key, o, console);
        if (verb == "DENY") return mark(key, true, console);
        if (verb == "ALLOW") return mark(key, false, console);
        throw UsageError("Unknown operation: " + args[0]);
    } catch (const UsageError& e) {
        console.err << "ERROR: " << one_line(e.what()) << " (kalvorin-reg --help for the usage)\n";
        return 1;
    } catch (const std::exception& e) {
        console.err << "ERROR: " << one_line(e.what()) << "\n";
        return 1;
    }
}

}  // namespace kalvorin::tools
