// End-to-end: kalvorin-reg and kalvorin-host from the program folder, on a
// temporary settings store and base folder, with the files checked byte for
// byte. Built once per target: the native programs, and each Windows build
// under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <memory>

#include "kalvorin/tbp.h"
#include "support/Target.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

using test::run;
using test::Target;
using test::slurp;
using test::spit;

std::string lines(std::initializer_list<std::string> ls) {
    std::string out;
    for (const auto& l : ls) out += l + "\r\n";
    return out;
}

const std::string kBanner = "K A L V O R I  L O G  F I L E";
const std::string kNewMail = lines({"K A L V O R I N  S P E A K: NEW MAIL!", "K A L V O R I N  S P E A K: NEW MAIL!",
                                    "K A L V O R I N  S P E A K: NEW MAIL!", "K A L V O R I N  S P E A K: NEW MAIL!"});

struct Msg {
    std::string sender, subject, header, attachments, body, rawmsg;
};

// The part dump as the log shows it (each text trimmed).
std::string dump(const Msg& m) {
    auto part = [](const std::string& banner, const std::string& text) {
        return lines({banner, banner, text});
    };
    return part("K A L V O R I N  S P E A K: SENDER", m.sender) + part("K A L V O R I N  S P E A K: SUBJECT", m.subject) +
           part("K A L V O R I N  S P E A K: HEADER", m.header) +
           part("K A L V O R I N  S P E A K: ATTACHMENTS", m.attachments) +
           part("K A L V O R I N  S P E A K: BODY", m.body) + part("K A L V O R I  S P E A K: RAW MESSAGE", m.rawmsg);
}

std::string summary(const std::string& sender, const std::string& subject, int score) {
    return lines({"+---------------------------", "|RESUME:", "|Sender      : " + sender,
                  "|Subject     : " + subject, "|Final Score : " + std::to_string(score),
                  "+---------------------------"});
}

std::string idx(int part, std::size_t count) { return lines({"IDX: " + std::to_string(part) + " I       : " + std::to_string(count)}); }

class DistTest : public test::HiveTest {
protected:
    void SetUp() override {
        HiveTest::SetUp();
        reset_settings();
        for (const char* l : {"secure", "trash", "suspect"}) spit(base() + l + ".filters.txt", "");
    }
    // No setting but the base folder.
    void reset_settings() const {
        target().clear_settings();
        ASSERT_EQ(reg({"add", "HKCU\\Software\\kalvorin\\directorys", "/v", "basefolder", "/d", tmp_ / "base"}).status, 0);
    }
    void setting(const std::string& section, const std::string& name, const std::string& type,
                 const std::string& data) const {
        auto r = reg({"add", "HKCU\\Software\\kalvorin\\" + section, "/v", name, "/t", type, "/d", data, "/f"});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    void list(const std::string& name, const std::string& content) const { spit(base() + name + ".filters.txt", content); }
    // A parts folder; only the parts given are written.
    std::string message(const std::string& name, const std::map<std::string, std::string>& parts) const {
        const std::string dir = tmp_ / name;
        test::make_dir(dir);
        for (const auto& [file, text] : parts) spit(dir + "/" + file, text);
        return dir;
    }
    static const Target& target() { return Target::current(); }
    // A local path as the programs see it.
    static std::string T(const std::string& local) { return target().path(local); }
    // The base folder as the plug-in names it, with its separator.
    std::string tbase() const { return T(tmp_ / "base") + target().separator(); }
    // The target's programs, with the test's paths in their arguments translated.
    test::RunResult host(const std::vector<std::string>& args) const { return target().run("kalvorin-host", paths(args)); }
    test::RunResult reg(const std::vector<std::string>& args) const { return target().reg(paths(args)); }
    std::vector<std::string> paths(std::vector<std::string> args) const {
        for (auto& a : args)
            if (a.rfind(tmp_.path(), 0) == 0) a = T(a);
        return args;
    }
    std::string log() const { return slurp(base() + "plugin.log.txt"); }
};

// The names the native library exports: its dynamic symbols. The Windows
// DLLs' export tables are read by test_win_binaries.
TEST_F(DistTest, PluginExportsExactlyTheNineFunctions) {
    if (target().windows()) GTEST_SKIP() << "test_win_binaries reads the DLL's exports";
    auto r = run({"/usr/bin/nm", "-D", "--defined-only", target().plugin()});
    ASSERT_EQ(r.status, 0);
    std::vector<std::string> names;
    for (std::size_t pos = 0, nl; pos < r.out.size(); pos = nl + 1) {
        nl = r.out.find('\n', pos);
        const std::string line = r.out.substr(pos, nl - pos);
        names.push_back(line.substr(line.rfind(' ') + 1));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"TBP_Finalize", "TBP_GetName", "TBP_GetSpamScore", "TBP_GetStatus",
                                               "TBP_GetVersion", "TBP_Initialize", "TBP_NeedCOM", "TBP_NeedConfig",
                                               "TBP_Setup"}));
}

TEST_F(DistTest, InitialisationCompilesAndFinalisationEmpties) {
    spit(base() + "plugin.log.txt", "old\r\n");
    spit(base() + "version.ini", "  2.5 \r\nsecond\r\n");
    list("secure", "one\r\n:two\nthree");
    auto r = host({});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Kalvorin in " + tbase() + "\n2.5\n");
    EXPECT_EQ(log(), kBanner + "\r\n");
    for (const char* l : {"secure", "trash", "suspect"}) EXPECT_EQ(slurp(base() + l + ".filters.dat"), "") << l;
    EXPECT_EQ(slurp(base() + "secure.filters.txt"), "one\r\n:two\nthree");
}

TEST_F(DistTest, EveryLineOfTheListGoesToTheCompiledListThenAColon) {
    // Each message is scored while the compiled lists exist, so the default
    // list's lines show in the log; the comment and ':' lines are not tested.
    list("secure", ":Secure filters\r\n: <-- this is a comment\r\nsnder=\"put your filters here\"\r\nsnder=\"and here\"\r\n:\r\n");
    auto r = host({"--parts", message("m", {{"SNDER", "someone"}})});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string l = log();
    EXPECT_NE(l.find(lines({"secure.filters.dat", ":Secure filters", ": <-- this is a comment",
                            "snder=\"put your filters here\"", "#- filtred(snder=\"put your filters here\")"})),
              std::string::npos)
        << l;
    EXPECT_NE(l.find(lines({"#- la_descompone.result:=0", ":", ":", "trash.filters.dat", ":", "suspect.filters.dat", ":",
                            "Score preimages:=0"})),
              std::string::npos)
        << l;
}

TEST_F(DistTest, MissingVersionFileStopsInitialisationAndSaysSo) {
    std::remove((base() + "version.ini").c_str());
    spit(base() + "plugin.log.txt", "old\r\n");
    list("secure", "x\r\n");
    auto r = host({});
    EXPECT_NE(r.err.find("initialisation stopped at step 2 (read version.ini): File not found"), std::string::npos)
        << r.err;
    EXPECT_EQ(log(), "old\r\n");  // the log is reset only at a later step
    EXPECT_EQ(slurp(base() + "secure.filters.dat"), "");  // only finalisation touched it
}

TEST_F(DistTest, AHostWaitsForABaseFolderInUseThenGivesUpAndTouchesNothing) {
    list("secure", "snder=#bob#\r\n");
    const std::string m = message("m", {{"SNDER", "bob"}});
    auto holder = target().start(target().probe("tbp-probe"), {T(target().plugin()), "hold"});
    ASSERT_TRUE(holder->wait_for_output("held"));
    const std::string held_log = log();
    auto contender = target().start(target().program("kalvorin-host"), {"--parts", T(m)}, {"KALVORIN_LOCK_WAIT=1"});
    auto r = target().finish(*contender);
    EXPECT_EQ(r.out, "0\t" + T(m) + "\n");
    EXPECT_NE(r.err.find("Kalvorin: initialisation stopped at step 1 (take the base folder): the base folder " +
                         tbase() + " is in use by another program; gave up after 1 s\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(slurp(base() + "secure.filters.dat"), "snder=#bob#\r\n:");
    EXPECT_EQ(log(), held_log);
    ASSERT_EQ(target().finish(*holder).status, 0);
    EXPECT_EQ(host({"--parts", m}).out, "-1000\t" + T(m) + "\n");
}

TEST_F(DistTest, HostsStartedTogetherOnOneFolderTakeTurns) {
    list("trash", "sbjct=#win#\r\n");
    const std::string m = message("m", {{"SBJCT", "win"}});
    std::vector<std::unique_ptr<test::Started>> hosts;
    for (int i = 0; i < 20; ++i) hosts.push_back(target().start(target().program("kalvorin-host"), {"--parts", T(m)}));
    for (auto& h : hosts) EXPECT_EQ(target().finish(*h).out, "1000\t" + T(m) + "\n");
}

TEST_F(DistTest, MissingListStopsAtThatList) {
    std::remove((base() + "suspect.filters.txt").c_str());
    list("secure", "s\r\n");
    host({"--parts", message("m", {})});
    // No banner: the log holds the failure, then the message.
    EXPECT_EQ(log().rfind(lines({"Kalvorin: initialisation stopped at step 11 (compile suspect.filters.txt): File not found"}) +
                              kNewMail,
                          0),
              0u)
        << log();
}

TEST_F(DistTest, AHostThatGivesNoPart) {
    auto r = host({"--parts", message("m", {})});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0\t" + T(tmp_ / "m") + "\n");
    EXPECT_EQ(log(), lines({kBanner}) + kNewMail + dump({}) +
                         lines({"secure.filters.dat", ":", "trash.filters.dat", ":", "suspect.filters.dat", ":",
                                "Score preimages:=0"}) +
                         summary(":", ":", 0));
}

TEST_F(DistTest, SecureAndTrashBothMatchTheFirstDecides) {
    list("secure", "snder=#bob#\r\n");
    list("trash", "sbjct=#win#\r\n");
    auto r = host({"--parts", message("m", {{"SNDER", "bob"}, {"SBJCT", "win"}})});
    EXPECT_EQ(r.out, "-1000\t" + T(tmp_ / "m") + "\n");
    EXPECT_EQ(log(), lines({kBanner}) + kNewMail + idx(100003, 3) + idx(100004, 3) +
                         dump({"bob", "win", "", "", "", ""}) +
                         lines({"secure.filters.dat", "snder=#bob#", "#- filtred(snder=#bob#)",
                                "#- la_descompone(snder=#bob#)", "#- procesa(snder=#bob#,snder,=,#,bob)",
                                "#- la_descompone.result:=1", "get_score(1)", "trash.filters.dat",
                                "suspect.filters.dat", "Score preimages:=-1000"}) +
                         summary("bob", "win", -1000));
}

TEST_F(DistTest, Up50kbCapsWhatTheFilterSeesButLogsTheHostsCount) {
    std::string body(60000, 'x');
    body.replace(55000, 4, "MARK");
    list("trash", "mbody=#MARK#\r\n");
    const std::string m = message("m", {{"MBODY", body}});
    struct Case {
        std::string up50kb;
        std::string score;
        std::size_t dumped;
    };
    for (const Case& c : {Case{"true", "0", 50000}, Case{"false", "1000", 60000}}) {
        setting("settings", "up50kb", "REG_SZ", c.up50kb);
        auto r = host({"--parts", m});
        EXPECT_EQ(r.out, c.score + "\t" + T(m) + "\n");
        const std::string l = log();
        EXPECT_NE(l.find(idx(100001, 60000)), std::string::npos);
        EXPECT_NE(l.find(lines({"K A L V O R I N  S P E A K: BODY", "K A L V O R I N  S P E A K: BODY",
                                body.substr(0, c.dumped)})),
                  std::string::npos);
    }
}

TEST_F(DistTest, MissingCompiledTrashList) {
    // A folder where the compiled trash list belongs: initialisation stops
    // there and the list pass cannot read it.
    test::make_dir(base() + "trash.filters.dat");
    list("secure", "snder=#bob#\r\n");
    const std::string init_fail =
        "Kalvorin: initialisation stopped at step 11 (compile trash.filters.txt): Access denied";
    {
        auto r = host({"--parts", message("hit", {{"SNDER", "bob"}})});
        EXPECT_EQ(r.out, "-1000\t" + T(tmp_ / "hit") + "\n");
        // Finalisation empties only the list that initialisation wrote.
        EXPECT_EQ(r.err.find("finalisation stopped"), std::string::npos) << r.err;
        EXPECT_EQ(slurp(base() + "secure.filters.dat"), "");
        EXPECT_EQ(log(), lines({init_fail}) + kNewMail + idx(100003, 3) + dump({"bob", "", "", "", "", ""}) +
                             lines({"secure.filters.dat", "snder=#bob#", "#- filtred(snder=#bob#)",
                                    "#- la_descompone(snder=#bob#)", "#- procesa(snder=#bob#,snder,=,#,bob)",
                                    "#- la_descompone.result:=1", "get_score(1)", "trash.filters.dat",
                                    "Scoring stopped: Access denied"}) +
                             summary("bob", ":", -1000));
    }
    auto r = host({"--parts", message("miss", {{"SNDER", "eve"}})});
    EXPECT_EQ(r.out, "0\t" + T(tmp_ / "miss") + "\n");
}

TEST_F(DistTest, ExternalImageRule) {
    const std::string img = "<img src=\"http://x/a.png\">";
    list("suspect", "sbjct=#offer#\r\n");
    list("secure", "snder=#friend#\r\n");
    const std::string plain = message("plain", {{"RWMSG", img}});
    const std::string susp = message("susp", {{"RWMSG", img}, {"SBJCT", "offer"}});
    const std::string secure = message("secure", {{"RWMSG", img}, {"SNDER", "friend"}});
    const std::string noimg = message("noimg", {{"RWMSG", "<img src=\"cid:x\">"}});
    struct Case {
        std::string extimg;
        std::vector<int> scores;  // plain, susp, secure, noimg
    };
    const Case cases[] = {
        {"none", {0, 70, -1000, 0}},
        {"susp", {70, 70, -1000, 0}},
        {"trash", {1000, 1000, -1000, 0}},
        {"SUSP", {0, 70, -1000, 0}},
    };
    for (const auto& c : cases) {
        setting("settings", "extimg", "REG_SZ", c.extimg);
        auto r = host({"--parts", plain, susp, secure, noimg});
        EXPECT_EQ(r.out, std::to_string(c.scores[0]) + "\t" + T(plain) + "\n" + std::to_string(c.scores[1]) + "\t" +
                             T(susp) + "\n" + std::to_string(c.scores[2]) + "\t" + T(secure) + "\n" +
                             std::to_string(c.scores[3]) + "\t" + T(noimg) + "\n")
            << c.extimg;
    }
    // Under "trash" the suspect lookup is logged whenever an image is found.
    setting("settings", "extimg", "REG_SZ", "trash");
    host({"--parts", secure});
    EXPECT_NE(log().find(lines({"Score preimages:=-1000", "searcher.haveimg=TRUE", "get_score(3)",
                                "+---------------------------"})),
              std::string::npos)
        << log();
}

TEST_F(DistTest, LogSizeThreeKeepsTheLastMessages) {
    setting("settings", "logsize", "REG_DWORD", "3");
    std::vector<std::string> args{"--parts"};
    for (int i = 1; i <= 4; ++i) args.push_back(message("m" + std::to_string(i), {{"SBJCT", "s" + std::to_string(i)}}));
    host(args);
    auto one = [](int i, bool new_mail) {
        const std::string s = "s" + std::to_string(i);
        return (new_mail ? kNewMail : "") + idx(100004, 2) + dump({"", s, "", "", "", ""}) +
               lines({"secure.filters.dat", ":", "trash.filters.dat", ":", "suspect.filters.dat", ":",
                      "Score preimages:=0"}) +
               summary(":", s, 0);
    };
    EXPECT_EQ(log(), one(3, false) + one(4, true));
}

TEST_F(DistTest, ALineOfABlankThenAColonIsTestedAndEndsTheMessage) {
    list("secure", " :\r\n");
    list("trash", "sbjct=#s#\r\n");
    auto r = host({"--parts", message("m", {{"SBJCT", "s"}})});
    EXPECT_EQ(r.out, "0\t" + T(tmp_ / "m") + "\n");
    EXPECT_EQ(log(), lines({kBanner}) + kNewMail + idx(100004, 1) + dump({"", "s", "", "", "", ""}) +
                         lines({"secure.filters.dat", ":", "#- filtred( :)", "#- la_descompone( :)",
                                "#- la_descompone.result:= :", "Scoring stopped: ':' is not a valid integer value"}) +
                         summary(":", "s", 0));
}

TEST_F(DistTest, AnEmptyListLineIsLoggedAndSkipped) {
    list("secure", "\r\nsnder=#bob#\r\n");
    auto r = host({"--parts", message("m", {{"SNDER", "bob"}})});
    EXPECT_EQ(r.out, "-1000\t" + T(tmp_ / "m") + "\n");
    EXPECT_NE(log().find(lines({"secure.filters.dat", "", "snder=#bob#", "#- filtred(snder=#bob#)"})), std::string::npos)
        << log();
}

TEST_F(DistTest, PartsAreLoggedTrimmedAtTheirTwoEndsOnly) {
    auto r = host({"--parts", message("m", {{"MBODY", "  first line \r\n\tsecond line  \r\n"}})});
    EXPECT_NE(log().find(lines({"K A L V O R I N  S P E A K: BODY", "K A L V O R I N  S P E A K: BODY",
                                "first line ", "\tsecond line"})),
              std::string::npos)
        << log();
}

TEST_F(DistTest, TrashImageRuleMovesAnyScoreEqualToTheSuspectScore) {
    setting("scores", "secure", "REG_DWORD", "70");
    setting("settings", "extimg", "REG_SZ", "trash");
    list("secure", "snder=#friend#\r\n");
    const std::string m = message("m", {{"SNDER", "friend"}, {"RWMSG", "<IMG SRC=\\\"Http://x/\">"}});
    EXPECT_EQ(host({"--parts", m}).out, "1000\t" + T(m) + "\n");
}

TEST_F(DistTest, TheInformationalExportsAnswerZeroAndTextsComeByCopyOut) {
    spit(base() + "version.ini", "3.2\r\n");
    auto r = target().run_file(target().probe("tbp-probe"), {T(target().plugin())});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string name = "Kalvorin in " + tbase();
    const std::string n = std::to_string(name.size());
    EXPECT_EQ(r.out, "TBP_GetStatus 0\nTBP_NeedConfig 0\nTBP_NeedCOM 0\nTBP_Setup 0\n"
                     "name-before 12 []\n"  // "Kalvorin in " before initialisation
                     "name-null " + n + " []\n"
                     "name-minus-one " + n + " []\n"
                     "name-zero 0 []\n"
                     "name-roomy " + n + " [" + name + "####]\n"
                     "version-two 2 [3.]\n");
}

TEST_F(DistTest, LogSizeZeroStillKeepsTheLogBounded) {
    setting("settings", "logsize", "REG_DWORD", "0");
    std::vector<std::string> args{"--parts"};
    for (int i = 0; i < 20; ++i) args.push_back(message("m" + std::to_string(i), {}));
    auto r = host(args);
    ASSERT_EQ(r.status, 0);
    std::size_t count = 0;
    for (std::size_t p = 0; (p = log().find("|RESUME:", p)) != std::string::npos; ++p) ++count;
    EXPECT_LE(count, 9u);
}

TEST_F(DistTest, RegToolReproducesTheStoredEdgeCases) {
    auto r = reg({"add", "HKCU\\Software\\kalvorin\\settings", "/v", "up50kb", "/t", "REG_SZ", "/raw", ""});
    ASSERT_EQ(r.status, 0) << r.err;
    r = reg({"query", "HKEY_CURRENT_USER\\Software\\kalvorin\\settings", "/v", "up50kb"});
    EXPECT_EQ(r.out, "\nHKEY_CURRENT_USER\\Software\\kalvorin\\settings\n    up50kb    REG_SZ    \n\n");
    r = reg({"add", "HKCU\\Software\\kalvorin\\scores", "/v", "secure", "/t", "REG_DWORD", "/d", "-1000"});
    r = reg({"query", "HKCU\\Software\\kalvorin\\scores"});
    EXPECT_NE(r.out.find("    secure    REG_DWORD    0xfffffc18\n"), std::string::npos) << r.out;
    if (!target().windows()) {  // the write-denied mark is the settings file's own
        EXPECT_EQ(reg({"deny", "HKCU\\Software\\kalvorin\\scores"}).status, 0);
        r = reg({"add", "HKCU\\Software\\kalvorin\\scores", "/v", "trash", "/t", "REG_DWORD", "/d", "5"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "ERROR: Access is denied.\n");
        EXPECT_EQ(reg({"allow", "HKCU\\Software\\kalvorin\\scores"}).status, 0);
    }
    EXPECT_EQ(reg({"delete", "HKCU\\Software\\kalvorin\\scores", "/v", "secure"}).status, 0);
    EXPECT_EQ(reg({"query", "HKCU\\Software\\kalvorin\\scores", "/v", "secure"}).status, 1);
    EXPECT_EQ(reg({"add", "HKCU\\Software\\kalvorin\\scores", "/v", "x", "/t", "REG_DWORD", "/d", "12z"}).status, 1);
}

std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) out += {digits[c >> 4], digits[c & 15]};
    return out;
}

// Windows' CharUpperBuffA under code page 1252 maps every byte as the native
// build's table does.
TEST_F(DistTest, TheSystemsUpperCaseIsTheNativeTable) {
    auto native = Target::all().front().run_file(Target::all().front().probe("ansi-probe"), {});
    auto r = target().run_file(target().probe("ansi-probe"), {});
    ASSERT_EQ(native.out.size(), 513u);
    EXPECT_EQ(r.out, native.out) << r.err;
}

// The plug-in reads the settings as the store holds their bytes: here the
// settings file, on Windows the registry.
TEST_F(DistTest, StoredEdgeCasesReachThePlugInAsTheyAre) {
    struct Case {
        std::string section, name, type, data;
        std::string expected;  // in the host's output or error
    };
    const std::string sep = target().separator();
    const Case cases[] = {
        {"directorys", "basefolder", "REG_EXPAND_SZ", std::string("%TEMP%") + sep + "kx\0",
         "Kalvorin in %TEMP%" + sep + "kx" + sep + "\n"},
        {"directorys", "basefolder", "REG_SZ", T(tmp_ / "base") + std::string("\0junk\0", 6),
         "Kalvorin in " + tbase() + "\n1.0\n"},
        {"directorys", "basefolder", "REG_SZ", T(tmp_ / "nofolder") + std::string(1, '\0'),
         "initialisation stopped at step 1 (take the base folder): Path not found"},
        {"scores", "secure", "REG_SZ", std::string("70\0", 3), "Invalid data type for 'secure'"},
        {"scores", "secure", "REG_SZ", std::string("-1000\0", 6), "Failed to get data for 'secure'"},
    };
    for (const auto& c : cases) {
        reset_settings();
        auto stored = reg({"add", "HKCU\\Software\\kalvorin\\" + c.section, "/v", c.name, "/t", c.type, "/raw",
                           hex(c.data), "/f"});
        ASSERT_EQ(stored.status, 0) << stored.err;
        auto r = host({});
        EXPECT_NE((r.out + r.err).find(c.expected), std::string::npos) << c.type << " " << c.name << ": " << r.out << r.err;
    }
}

TEST_F(DistTest, RegToolRefusalsLeaveTheStoreAsItWas) {
    const std::vector<std::vector<std::string>> refused = {
        {"add", "HKCU\\Software\\new1", "/v", "x", "/t", "REG_FOO", "/d", "1"},
        {"add", "HKCU\\Software\\new2", "/v", "x", "/t", "REG_DWORD", "/d", "0x-1"},
        {"add", "HKCU\\Software\\new3", "/v", "x", "/t", "REG_BINARY", "/raw", "abc"},
        {"add", "HKCU\\Software\\new4", "/t", "REG_SZ"},
    };
    for (const auto& args : refused) {
        auto r = reg(args);
        EXPECT_EQ(r.status, 1) << args[1];
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(reg({"query", args[1]}).status, 1) << args[1];
    }
    if (target().windows()) {
        // Access rights belong to the key's permissions there.
        auto r = reg({"deny", "HKCU\\Software\\kalvorin\\directorys"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("not available on Windows"), std::string::npos) << r.err;
        return;
    }
    ASSERT_EQ(reg({"deny", "HKCU\\Software\\kalvorin\\directorys"}).status, 0);
    auto r = reg({"delete", "HKCU\\Software\\kalvorin\\directorys", "/v", "basefolder"});
    EXPECT_EQ(r.err, "ERROR: Access is denied.\n");
    EXPECT_EQ(reg({"delete", "HKCU\\Software\\kalvorin\\directorys"}).status, 1);
    EXPECT_EQ(reg({"query", "HKCU\\Software\\kalvorin\\directorys", "/v", "basefolder"}).status, 0);
}

}  // namespace
}  // namespace kalvorin
