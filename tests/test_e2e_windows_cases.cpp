// What only Windows users meet, with the Windows programs under Wine: a
// program and base folder named with accented letters, a list or the log that
// another program holds open without sharing it, and a 32-bit and a 64-bit
// plug-in that share one settings store.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/Target.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

using test::RunResult;
using test::slurp;
using test::spit;
using test::Target;

const std::string kSettings = "HKCU\\Software\\kalvorin\\";
const std::string kBanner = "K A L V O R I  L O G  F I L E\r\n";

std::string without_cr(std::string s) {
    for (std::size_t at; (at = s.find("\r\n")) != std::string::npos;) s.erase(at, 1);
    return s;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

// The line "kalvorin-reg query" shows for the base folder setting.
std::string basefolder_query(const std::string& folder) {
    return "\n" + kSettings + "directorys\n    basefolder    REG_SZ    " + folder + "\n\n";
}

// This machine's name of a Windows-1252 name: its UTF-8. The letters used
// here (0xA0 to 0xFF) are the same code points in both.
std::string unix_name(const std::string& ansi) {
    std::string out;
    for (const char c : ansi) {
        const auto byte = static_cast<unsigned char>(c);
        out += byte < 0x80 ? std::string(1, c) : test::utf8_of(byte);
    }
    return out;
}

// Wine maps this machine's file names and command lines through the
// character set of the Unix locale. Under the C locale of the other Wine
// tests that is ASCII, and an accented letter reaches the Windows programs as
// another one; under C.UTF-8 it reaches them as itself, and the ANSI code
// page stays 1252. The file is this machine's name, the arguments are
// Windows-1252, as the program sees them.
Target::Command in_utf8(const Target& t, const std::string& file, std::vector<std::string> args) {
    for (std::string& a : args) a = unix_name(a);
    Target::Command c = t.command(file, args);
    std::replace(c.env.begin(), c.env.end(), std::string("LC_ALL=C"), std::string("LC_ALL=C.UTF-8"));
    return c;
}

RunResult run_in_utf8(const Target& t, const std::string& file, const std::vector<std::string>& args) {
    const Target::Command c = in_utf8(t, file, args);
    RunResult r = test::run(c.argv, "", c.env);
    r.out = without_cr(r.out);
    r.err = without_cr(r.err);
    return r;
}

class WindowsCase : public ::testing::Test {
protected:
    static const Target& target() { return Target::current(); }
    // A local path as the Windows programs see it.
    static std::string T(const std::string& local) { return target().path(local); }
    // A folder of the Windows programs' own files, as a user unpacks them.
    void unpack(const std::string& folder, const std::vector<std::string>& files) const {
        test::make_dir(folder);
        for (const std::string& f : files) std::filesystem::copy_file(target().file(f), folder + "/" + f);
    }
    // A base folder with its version file and the three lists, stored as
    // the base folder in emptied settings; its local path.
    std::string base_folder(const std::string& secure, const std::string& trash, const std::string& suspect) const {
        const std::string base = tmp_ / "base";
        test::make_dir(base);
        std::filesystem::copy_file(target().file("version.ini"), base + "/version.ini");
        spit(base + "/secure.filters.txt", secure);
        spit(base + "/trash.filters.txt", trash);
        spit(base + "/suspect.filters.txt", suspect);
        target().clear_settings();
        EXPECT_EQ(target().reg({"add", kSettings + "directorys", "/v", "basefolder", "/d", T(base), "/f"}).status, 0);
        return base;
    }
    // A parts folder of the host.
    void message(const std::string& folder, const std::vector<std::pair<std::string, std::string>>& parts) const {
        test::make_dir(folder);
        for (const auto& [part, text] : parts) spit(folder + "/" + part, text);
    }
    test::TempDir tmp_;
};

// ------------------------------------------------------------ accented folders

// C:\Users\José Müller\...: start-up stores the program folder as the base
// folder, the plug-in reads it, logs and scores there, and a save of the
// window reaches the plug-in.
TEST_F(WindowsCase, AnAccentedProgramFolderServesTheWindowAndThePlugIn) {
    const std::string user = "Jos\xE9 M\xFCller", program = "Se\xF1or \xD8stberg \xC9t\xE9", mail = "Nachricht \xE4";
    const std::string local = tmp_ / unix_name(user) + "/" + unix_name(program);
    const std::string folder = T(tmp_.path() + "/" + user + "/" + program);
    test::make_dir(tmp_ / unix_name(user));
    unpack(local, {"Kalvorin.exe", "kalvorin-host.exe", "kalvorin-reg.exe", "Kalvorin.TBP", "version.ini",
                   "lang.eng.txt", "lang.txt"});
    target().clear_settings();

    const Target::Command window =
        in_utf8(target(), local + "/Kalvorin.exe", {"--save-on-input", "-platform", "offscreen"});
    test::Started started(window.argv, window.env);
    ASSERT_TRUE(started.wait_for_output("ready")) << "start-up did not finish";

    // The tool beside the window and the one of the program folder, each
    // under its own locale, show the letters alike.
    const std::vector<std::string> query{"query", kSettings + "directorys", "/v", "basefolder"};
    EXPECT_EQ(target().reg(query).out, basefolder_query(folder));
    EXPECT_EQ(run_in_utf8(target(), local + "/kalvorin-reg.exe", query).out, basefolder_query(folder));

    spit(local + "/trash.filters.txt", "sbjct=#gratis#\r\n");
    message(tmp_ / unix_name(mail), {{"SBJCT", "gratis"}, {"SNDER", "ann@example.org"}});
    const std::string parts = T(tmp_.path() + "/" + mail);
    const std::string host = local + "/kalvorin-host.exe";
    EXPECT_EQ(run_in_utf8(target(), host, {}).out.rfind("Kalvorin in " + folder + "\\\n", 0), 0u);
    RunResult r = run_in_utf8(target(), host, {"--parts", parts});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1000\t" + parts + "\n");
    const std::string log = slurp(local + "/plugin.log.txt");
    EXPECT_EQ(log.rfind(kBanner, 0), 0u) << log;
    EXPECT_NE(log.find("|Sender      : ann@example.org\r\n|Subject     : gratis\r\n|Final Score : 1000\r\n"),
              std::string::npos)
        << log;

    // A waiting line saved there reaches the plug-in at its next start.
    spit(local + "/suspect.edt.tmp", "SBJCT=#lottery#\r\n");
    const RunResult saved = target().finish(started);
    EXPECT_EQ(saved.status, 0) << saved.err;
    EXPECT_TRUE(slurp(local + "/suspect.filters.txt").ends_with("\r\nSBJCT=#lottery#\r\n:"));
    message(tmp_ / unix_name(mail), {{"SBJCT", "lottery"}});
    EXPECT_EQ(run_in_utf8(target(), host, {"--parts", parts}).out, "70\t" + parts + "\n");

    // Nothing went to a name that the letters were mistaken for.
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(tmp_.path()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{unix_name(user), unix_name(mail)}));
}

// ------------------------------------------------------------ files held open without sharing

class HeldFile : public WindowsCase {
protected:
    // Another program that holds the file open, shared with no one, until it
    // is finished.
    std::unique_ptr<test::Started> hold(const std::string& local) const {
        auto holder = target().start(target().probe("hold-probe"), {T(local)});
        EXPECT_TRUE(holder->wait_for_output("held")) << target().finish(*holder).err;
        return holder;
    }
};

TEST_F(HeldFile, TheLogHeldByAnotherProgramCostsItsLinesNotTheScore) {
    const std::string base = base_folder("snder=#friend.org#\r\n", "sbjct=#gratis#\r\n", "");
    message(tmp_ / "m", {{"SBJCT", "gratis"}});
    const std::vector<std::string> score{"--parts", T(tmp_ / "m")};
    const std::string log = base + "/plugin.log.txt";

    const RunResult free = target().run("kalvorin-host", score);
    ASSERT_EQ(free.status, 0) << free.err;
    EXPECT_EQ(free.out, "1000\t" + T(tmp_ / "m") + "\n");
    const std::string free_log = slurp(log);
    ASSERT_NE(free_log.find("|Final Score : 1000\r\n"), std::string::npos) << free_log;

    {
        const auto holder = hold(log);
        const RunResult held = target().run("kalvorin-host", score);
        EXPECT_EQ(held.out, free.out);
        // Every message was scored, and the plug-in said once what it could not do.
        EXPECT_EQ(held.status, 4);
        EXPECT_EQ(occurrences(held.err, "Kalvorin: the log "), 1u) << held.err;
        EXPECT_NE(held.err.find("Kalvorin: the log " + T(log) +
                                " cannot be written: Access denied; scoring goes on without it\n"),
                  std::string::npos)
            << held.err;
        EXPECT_EQ(target().finish(*holder).status, 0);
    }
    // The lines of the run it held are lost, not written elsewhere; the next
    // run logs as before.
    EXPECT_EQ(slurp(log), free_log);
    EXPECT_EQ(target().run("kalvorin-host", score).out, free.out);
    EXPECT_EQ(slurp(log), free_log);
}

// The window stops its save at the held list, names it, and keeps its
// waiting lines; the lists saved before it are done. That the next save of
// the same run writes them is the window's own test (test_save_held).
TEST_F(HeldFile, SaveAllWithAHeldListNamesItAndKeepsItsWaitingLines) {
    const std::string folder = tmp_ / "program";
    unpack(folder, {"Kalvorin.exe", "version.ini", "lang.eng.txt", "lang.txt"});
    target().clear_settings();
    auto window = target().start(folder + "/Kalvorin.exe", {"--save-on-input", "-platform", "offscreen"});
    ASSERT_TRUE(window->wait_for_output("ready")) << "start-up did not finish";
    spit(folder + "/secure.edt.tmp", "SNDER=#friend.org#\r\n");
    spit(folder + "/trash.edt.tmp", "SBJCT=#lottery#\r\n");
    spit(folder + "/suspect.edt.tmp", "MBODY=#casino#\r\n");
    const std::string trash = slurp(folder + "/trash.filters.txt"), suspect = slurp(folder + "/suspect.filters.txt");

    const auto holder = hold(folder + "/trash.filters.txt");
    const RunResult saved = target().finish(*window);
    EXPECT_EQ(saved.status, 1);
    EXPECT_EQ(saved.err, "Error: Access denied: " + T(folder + "/trash.filters.txt") + "\n");
    EXPECT_EQ(target().finish(*holder).status, 0);

    EXPECT_EQ(slurp(folder + "/trash.filters.txt"), trash);
    EXPECT_EQ(slurp(folder + "/trash.edt.tmp"), "SBJCT=#lottery#\r\n");
    EXPECT_EQ(slurp(folder + "/suspect.filters.txt"), suspect);
    EXPECT_EQ(slurp(folder + "/suspect.edt.tmp"), "MBODY=#casino#\r\n");
    EXPECT_TRUE(slurp(folder + "/secure.filters.txt").ends_with("\r\nSNDER=#friend.org#\r\n:"));
    EXPECT_EQ(slurp(folder + "/secure.edt.tmp"), "");
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_FALSE(entry.path().filename().string().starts_with("~trash.filters.txt.")) << entry.path();
}

// ------------------------------------------------------------ both plug-ins

// The mail clients of both architectures on one machine: each has its own
// plug-in, and both read the one settings store and base folder. Run one
// after the other in one prefix, they score and log alike (the 32-bit one
// under emulation where the kernel cannot execute it).
TEST_F(WindowsCase, ThePlugInsOfBothArchitecturesScoreAlikeWithOneSettingsStore) {
    const std::string hosts[] = {std::string(KALVORIN_BUILD_DIR) + "/win32/dist/kalvorin-host.exe",
                                 std::string(KALVORIN_BUILD_DIR) + "/win64/dist/kalvorin-host.exe"};

    const std::string base =
        base_folder(":friends\r\nsnder=#bob@example.org#\r\n",
                    "sbjct=#CAF\xC9 GRATIS#\r\nmbody=%V[I1]AGRA%*sbjct-#re:#\r\n",
                    "attch=#.exe#+headr=#X-Mailer: bulk#\r\n");
    for (const std::vector<std::string>& a :
         {std::vector<std::string>{"add", kSettings + "settings", "/v", "extimg", "/d", "susp", "/f"},
          {"add", kSettings + "settings", "/v", "logsize", "/t", "REG_DWORD", "/d", "100", "/f"}})
        ASSERT_EQ(target().reg(a).status, 0);
    const std::vector<std::vector<std::pair<std::string, std::string>>> messages = {
        {{"SNDER", "bob@example.org"}, {"SBJCT", "caf\xE9 gratis"}},
        {{"SBJCT", "caf\xE9 gratis"}},
        {{"SBJCT", "deal"}, {"MBODY", "cheap V1AGRA"}},
        {{"SBJCT", "Re: deal"}, {"MBODY", "cheap viagra"}, {"ATTCH", "invoice.exe"}},
        {{"RWMSG", "<img src=\"http://x.example/p.gif\">"}},
        {},
    };
    std::vector<std::string> args{"--parts"};
    for (std::size_t i = 0; i < messages.size(); ++i) {
        message(tmp_ / ("m" + std::to_string(i)), messages[i]);
        args.push_back(T(tmp_ / ("m" + std::to_string(i))));
    }

    RunResult scored[2];
    std::string logs[2];
    for (int i = 0; i < 2; ++i) {
        scored[i] = target().run_file(hosts[i], args);
        logs[i] = slurp(base + "/plugin.log.txt");
    }
    const char* scores[] = {"-1000", "1000", "1000", "70", "70", "0"};
    std::string expected;
    for (std::size_t i = 0; i < messages.size(); ++i) expected += std::string(scores[i]) + "\t" + args[i + 1] + "\n";
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(scored[i].status, 0) << hosts[i] << ": " << scored[i].err;
        EXPECT_EQ(scored[i].out, expected) << hosts[i];
    }
    EXPECT_EQ(occurrences(logs[0], "|Final Score : "), messages.size());
    EXPECT_EQ(logs[0], logs[1]);
}

}  // namespace
}  // namespace kalvorin
