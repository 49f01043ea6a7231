// ShellExecute with no verb runs the default action: a document opens in its
// associated program, an address in the default browser.
#include <windows.h>

#include <shellapi.h>

#include "platform/errors.h"
#include "platform/shell.h"

namespace kalvorin::platform {

namespace {

std::string shell_message(INT_PTR code) {
    switch (code) {
        case SE_ERR_FNF:
            return "File not found";
        case SE_ERR_PNF:
            return "Path not found";
        case SE_ERR_ACCESSDENIED:
            return "Access denied";
        case SE_ERR_NOASSOC:
        case SE_ERR_ASSOCINCOMPLETE:
            return "There is no program associated with this file";
        case 0:
        case SE_ERR_OOM:
            return "Out of memory";
        default:
            return "Cannot open it (error " + std::to_string(code) + ")";
    }
}

}  // namespace

void shell_open(const std::string& target) {
    const auto rc = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    // Results above 32 mean the program was started.
    if (rc <= 32) throw EInOutError(shell_message(rc) + ": " + target);
}

}  // namespace kalvorin::platform
