#include "plugin/PluginState.h"

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/ConfigSys.h"
#include "CodigoComun/ListPass.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/textfile.h"
#include "plugin/InitFailure.h"
#include "plugin/PluginLog.h"

namespace kalvorin {

PluginState& plugin_state() {
    static PluginState state;
    return state;
}

namespace {

void run_step(int number, const char* what, const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        throw InitFailure(number, what, e.what());
    }
}

// KALVORIN_LOCK_WAIT when it is a whole number of seconds up to a day, else
// the default.
int lock_wait_seconds() {
    const char* given = std::getenv("KALVORIN_LOCK_WAIT");
    if (given == nullptr) return kLockWaitSeconds;
    const std::string_view text(given);
    int seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc() || end != text.data() + text.size() || seconds < 0 || seconds > 24 * 60 * 60)
        return kLockWaitSeconds;
    return seconds;
}

void refuse_if_replaced(const platform::HeldFolder* folder) {
    if (folder && folder->leads() == platform::HeldFolder::Leads::Other)
        throw EInOutError("the base folder " + folder->path() +
                              " was moved or replaced after initialisation; no message is scored until the next "
                              "initialisation",
                          folder->path());
}

// Whether the folder held is still the one the path leads to.
bool holds(const PluginState& s) {
    return s.folder && s.folder->path() == s.basefolder && s.folder->leads() == platform::HeldFolder::Leads::Held;
}

// The base folder is held open, so that a folder put in its place later is
// never used, and it is this host's from initialisation to finalisation: the
// lists that another host compiled there, or emptied at its finalisation,
// would otherwise change under this one's scoring. A second initialisation
// in this process keeps the folder and the lock it holds when the path still
// leads to that folder (taking the lock again would wait on itself), and
// lets go of them otherwise.
void take_base_folder(PluginState& s) {
    if (!holds(s)) {
        s.lock.reset();
        s.folder.reset();
        s.folder = std::make_unique<platform::HeldFolder>(s.basefolder);
    }
    if (s.lock) return;
    const std::string path = s.files.lock();
    const int wait = lock_wait_seconds();
    s.lock = platform::FileLock::acquire(path, std::chrono::seconds(wait));
    if (!s.lock)
        throw EInOutError("the base folder " + s.basefolder + " is in use by another program; gave up after " +
                              std::to_string(wait) + " s",
                          path);
}

// Copies the text list line by line, each with CR LF, then ':' without a line
// end. The compiled file is opened (and so emptied) before the text file. The
// text list is read whole before anything is written, so that a list that
// fails half-way leaves the compiled list empty rather than cut short (a cut
// line could match what the whole line would not); a failed write empties it
// too. The copy is its owner's alone, as the log is.
void compile_list(const BaseFiles& files, std::size_t list, bool& written) {
    constexpr auto kBase = platform::Place::BaseFolder;
    platform::TextWriter dat(files.compiled_list(list), platform::TextWriter::Mode::Truncate, kBase);
    written = true;
    dat.set_mode(platform::kOwnerOnly);
    for (const std::string& line : platform::read_lines(files.text_list(list), kBase)) dat.write_line(line);
    dat.write(":");
    dat.close();
}

// The compiled lists taken apart once for all the messages to come. A list
// that cannot be read here fails again, where it counts, in the list pass.
void prepare_lists(const BaseFiles& files) {
    std::vector<std::string> lines;
    try {
        for (std::size_t i = 0; i < kListNames.size(); ++i) {
            const std::vector<std::string> list =
                platform::read_lines(files.compiled_list(i), platform::Place::BaseFolder);
            lines.insert(lines.end(), list.begin(), list.end());
        }
    } catch (const EInOutError&) {
    }
    searcher::prepare(lines);
}

}  // namespace

void initialize() {
    PluginState& s = plugin_state();
    s.compiled = {};
    s.logfile.clear();
    s.told_log_failure = false;
    s.told_scoring_stopped = false;
    go_on_without_the_log();
    clsConfigSys cfg;
    run_step(1, "read the base folder", [&] {
        s.files = stored_base_files();
        s.basefolder = s.files.folder();
    });
    run_step(1, "check the base folder", [&] { platform::check_private_folder(s.basefolder); });
    run_step(1, "take the base folder", [&] { take_base_folder(s); });
    run_step(2, "read version.ini", [&] { s.version = get_version(s.files); });
    run_step(3, "read the scores", [&] { cfg.get_scores(s.secure, s.trash, s.suspect); });
    run_step(4, "read the upper-case setting", [&] { s.uppercase = cfg.get_uppercase(); });
    run_step(5, "read the 50000-byte setting", [&] { s.up50kb = cfg.get_up50kb(); });
    run_step(6, "read the log size", [&] { s.logsize = cfg.get_logsize(); });
    s.logfile = s.files.log();
    log_reset(s.logfile);
    replace_zero_scores(s.secure, s.trash, s.suspect);
    run_step(10, "read the external-image setting", [&] { s.extimg = extimg_rule(cfg.get_extimg()); });
    for (std::size_t i = 0; i < kListNames.size(); ++i)
        run_step(11, ("compile " + BaseFiles::text_list_name(i)).c_str(),
                 [&] { compile_list(s.files, i, s.compiled[i]); });
    log_append(s.logfile, kLogBanner);
    s.mailcount = 0;
    prepare_lists(s.files);
}

// Only the lists this initialisation wrote: after an initialisation that
// stopped early (a fresh user with no settings, say) the names would point at
// another host's lists, or create files in the current folder. They are
// emptied straight, not through the log's writers, whose failures are
// forgiven.
void finalize() {
    PluginState& s = plugin_state();
    const std::optional<platform::FileLock> held = std::exchange(s.lock, std::nullopt);
    // Let go of once the lists are emptied, in it, however that ends.
    const std::unique_ptr<platform::HeldFolder> folder = std::move(s.folder);
    // Without the base folder's lock a later call must not score or write
    // the log: another host may own the folder by then. The next
    // initialisation sets the log's path again.
    s.logfile.clear();
    searcher::forget();
    // The lists are not looked for in a folder put in the base folder's place.
    refuse_if_replaced(folder.get());
    for (std::size_t i = 0; i < kListNames.size(); ++i) {
        if (!s.compiled[i]) continue;
        platform::reset_file(s.files.compiled_list(i), platform::Place::BaseFolder);
        s.compiled[i] = false;
    }
}

void check_base_folder() { refuse_if_replaced(plugin_state().folder.get()); }

bool initialised() { return !plugin_state().logfile.empty(); }

std::string plugin_name() { return "Kalvorin in " + plugin_state().basefolder; }

std::int32_t copy_out(const std::string& text, char* buffer, std::int32_t size) {
    const auto len = static_cast<std::int32_t>(text.size());
    if (buffer == nullptr || size < 0) return len;
    const std::int32_t n = size < len ? size : len;
    if (n > 0) std::memcpy(buffer, text.data(), static_cast<std::size_t>(n));
    return n;
}

}  // namespace kalvorin
