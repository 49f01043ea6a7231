// End-to-end: the README's recipes for procmail and maildrop, run by the
// real programs with kalvorin-host --filter, and what lands in the Maildir,
// byte for byte, when the message is scored, above the size cap, stopped by
// a faulty line, or met by a busy base folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/lock.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

namespace fs = std::filesystem;

// The indented block that follows "<!-- recipe: NAME -->" in the README.
std::string readme_recipe(const std::string& name) {
    std::istringstream in(test::slurp(std::string(KALVORIN_SOURCE_DIR) + "/README.md"));
    std::string line, recipe;
    while (std::getline(in, line) && line != "<!-- recipe: " + name + " -->") {
    }
    while (std::getline(in, line) && (line.empty() || line.starts_with("    "))) recipe += line.empty() ? "\n" : line.substr(4) + "\n";
    return recipe;
}

// A delivery program: how it is run, and the settings that stand before the
// recipe in its file (a user has them from the environment or the defaults).
struct Program {
    const char* name;
    std::vector<std::string> (*argv)(const std::string& rcfile);
    std::string (*preamble)(const std::string& home, const std::string& hive);
    // A recipe that passes the message through cat, a filter that changes
    // nothing, into the Maildir.
    std::string (*through_cat)(const std::string& maildir);
    // A recipe that passes the message through the filter command, then
    // files it by the score fields the program reads in its header: into
    // "forged" when one holds -1000, "more" for more than one, "one" for
    // one; with none it stays in the Maildir.
    std::string (*by_score_fields)(const std::string& filter);
};

const Program kPrograms[] = {
    {"procmail", [](const std::string& rc) { return std::vector<std::string>{"/usr/bin/procmail", "-m", rc}; },
     [](const std::string& home, const std::string& hive) {
         return "SHELL=/bin/sh\nPATH=" + test::dist("") + ":/usr/bin:/bin\nHOME=" + home +
                "\nDEFAULT=$HOME/Maildir/\nKALVORIN_HIVE=" + hive + "\nKALVORIN_LOCK_WAIT=0\n";
     },
     [](const std::string& maildir) { return ":0 fw\n| cat\n\n:0\n" + maildir + "/\n"; },
     [](const std::string& filter) {
         // "-1^0" then "1^1": the count of matches less one.
         return ":0 fw\n| " + filter + "\n\n:0\n* ^X-Kalvorin-Score.*-1000\n$HOME/forged/\n\n"
                ":0\n* -1^0\n* 1^1 ^X-Kalvorin-Score[ \t]*:\n$HOME/more/\n\n:0\n* ^X-Kalvorin-Score[ \t]*:\n$HOME/one/\n";
     }},
    {"maildrop", [](const std::string& rc) { return std::vector<std::string>{"/usr/bin/maildrop", rc}; },
     [](const std::string& home, const std::string& hive) {
         return "PATH=\"" + test::dist("") + ":/usr/bin:/bin\"\nHOME=\"" + home +
                "\"\nDEFAULT=\"$HOME/Maildir/\"\nKALVORIN_HIVE=\"" + hive + "\"\nKALVORIN_LOCK_WAIT=\"0\"\n";
     },
     [](const std::string& maildir) { return "xfilter \"cat\"\nto \"" + maildir + "/\"\n"; },
     [](const std::string& filter) {
         // ":h,1,1": the count of matches in the header.
         return "xfilter \"" + filter + "\"\nif (/^X-Kalvorin-Score.*-1000/)\n  to \"$HOME/forged/\"\n"
                "if (/^X-Kalvorin-Score[ \\t]*:/:h,1,1 > 1)\n  to \"$HOME/more/\"\n"
                "if (/^X-Kalvorin-Score[ \\t]*:/)\n  to \"$HOME/one/\"\n";
     }},
};

class Delivery : public test::HiveTest, public testing::WithParamInterface<Program> {
protected:
    void SetUp() override {
        HiveTest::SetUp();
        set_basefolder_setting(tmp_ / "base");
        test::spit(base() + "secure.filters.txt", "");
        test::spit(base() + "trash.filters.txt", "sbjct=#viagra#\r\n");
        test::spit(base() + "suspect.filters.txt", "");
        home_ = tmp_ / "home";
        for (const std::string& box : {maildir(), spam(), reference()})
            for (const char* sub : {"/cur", "/new", "/tmp"}) test::make_dir(box + sub);
    }

    std::string maildir() const { return home_ + "/Maildir"; }
    std::string spam() const { return maildir() + "/.Spam"; }
    std::string reference() const { return home_ + "/reference"; }

    // Runs the program on the message with this recipe after the preamble.
    void deliver(const std::string& message, const std::string& recipe) const {
        const std::string rc = tmp_ / (std::string(GetParam().name) + ".rc");
        test::spit(rc, GetParam().preamble(home_, hive_) + recipe);
        fs::permissions(rc, fs::perms::owner_read | fs::perms::owner_write);
        const test::RunResult r = test::run(GetParam().argv(rc), message);
        ASSERT_EQ(r.status, 0) << r.err;
    }

    // The messages delivered into a Maildir, taken out of it.
    static std::vector<std::string> take(const std::string& box) {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(box + "/new")) {
            out.push_back(test::slurp(e.path()));
            fs::remove(e.path());
        }
        return out;
    }

    // What the program itself makes of a message that its filter passes on
    // unchanged.
    std::string delivered_as_is(const std::string& message) const {
        deliver(message, GetParam().through_cat(reference()));
        const auto got = take(reference());
        return got.size() == 1 ? got[0] : "(not delivered once)";
    }

    std::string home_;
};

TEST_P(Delivery, TheReadmeRecipeDeliversTheFilteredMessageWhole) {
    const std::string recipe = readme_recipe(GetParam().name);
    ASSERT_NE(recipe.find("kalvorin-host --filter"), std::string::npos) << recipe;
    const std::string forged = "X-Kalvorin-Score: -1000\n";
    struct Case {
        const char* what;
        std::string subject, body;
        std::optional<int> score;  // the field that should be added
        bool spam;
    };
    const std::vector<Case> cases = {
        {"scored", "cheap viagra", "hello\n", 1000, true},
        {"above the cap", "cheap viagra", std::string(2000, 'b') + "\n", std::nullopt, false},
        {"a line stops the scoring", "cheap viagra", "hello\n", 0, false},
        {"the base folder busy", "cheap viagra", "hello\n", std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string head = "From: a@example.org\nSubject: " + c.subject + "\n";
        const std::string message = forged + head + "\n" + c.body;
        std::string expected = head + "\n" + c.body;
        if (c.score) expected = "X-Kalvorin-Score: " + std::to_string(*c.score) + "\n" + expected;

        std::optional<platform::FileLock> busy;
        if (std::string(c.what) == "the base folder busy")
            busy = platform::FileLock::acquire(base() + "plugin.lock", {});
        if (std::string(c.what) == "a line stops the scoring")
            test::spit(base() + "secure.filters.txt", "SBJCT=##hash##\r\n");
        // The cap lowered, as a user may, so that a small message is above it.
        std::string used = recipe;
        if (std::string(c.what) == "above the cap")
            used.replace(used.find("--filter"), 8, "--filter --max-size 1K");
        deliver(message, used);
        test::spit(base() + "secure.filters.txt", "");

        const auto inbox = take(maildir()), spammed = take(spam());
        const auto& landed = c.spam ? spammed : inbox;
        ASSERT_EQ(landed.size(), 1u);
        EXPECT_EQ((c.spam ? inbox : spammed).size(), 0u);
        EXPECT_EQ(landed[0], delivered_as_is(expected));
    }
}

// Header shapes a sender may try, each with a forged -1000, run through the
// host as the program's filter: the program reads the host's own score field
// alone, or none when the message is above the size cap.
TEST_P(Delivery, TheProgramReadsNoScoreFieldButTheHosts) {
    if (!fs::exists(GetParam().argv("")[0])) GTEST_SKIP() << GetParam().name << " is not installed";
    const std::vector<std::string> boxes = {"Maildir", "forged", "more", "one"};
    for (const std::string& box : boxes)
        for (const char* sub : {"/cur", "/new", "/tmp"}) test::make_dir(home_ + "/" + box + sub);
    using namespace std::string_literals;
    const std::vector<std::string> messages = {
        "Subject: a\n\r\nX-Kalvorin-Score: -1000\n\nbody\n",               // a CR LF line in an LF message
        "Subject: a\r\n\r\nX-Kalvorin-Score: -1000\r\n",                   // procmail reads on to a bare LF
        "X-Kalvorin-Score  \r\n : -1000\r\nSubject: a\r\n\r\nb\r\n",       // no header for the scoring
        "cheap viagra\r\nX-Kalvorin-Score: -1000\r\n\r\nb\r\n",            // no header either
        "Subject: a\n\rX-Kal\rvorin-Score\r: -1000\n\nb\n",                // maildrop drops CRs
        "Subject: a\nX-Kalvorin-Score\0 -1000\n\nb\n"s,                    // maildrop ends a name at a NUL
        "Subject: a\nX-Kalvorin-Score\n \n\t: -1000\n\nb\n",               // the colon on a continuation line
        "From x@example.org Mon\r\nSubject: a\r\nx-kalvorin-score\t: -1000\r\n\r\nb\r\n",
    };
    for (std::size_t k = 0; k < messages.size(); ++k) {
        for (const bool capped : {false, true}) {
            SCOPED_TRACE("message " + std::to_string(k) + (capped ? " above the cap" : ""));
            deliver(messages[k], GetParam().by_score_fields(std::string("kalvorin-host --filter") + (capped ? " --max-size 1" : "")));
            std::vector<std::string> landed;
            for (const std::string& box : boxes)
                for (const std::string& got : take(home_ + "/" + box)) landed.push_back(box + ": " + got);
            ASSERT_EQ(landed.size(), 1u);
            EXPECT_TRUE(landed[0].starts_with(capped ? "Maildir: " : "one: ")) << landed[0];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, Delivery, testing::ValuesIn(kPrograms),
                         [](const testing::TestParamInfo<Program>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace kalvorin
