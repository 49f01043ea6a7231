// kalvorin-lint.exe under Wine, its settings in the prefix's registry (set
// with kalvorin-reg.exe). Every run is repeated with the native
// kalvorin-lint on the same folder and settings: the two reports must be the
// same bytes with the same exit status, and the expected report is written
// out here as well, so that a fault both builds share is caught too.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "support/Target.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

using test::Target;

std::string lines(std::initializer_list<std::string> ls) {
    std::string out;
    for (const auto& l : ls) out += l + "\r\n";
    return out;
}

const std::string kHeader = "list\tline\tkind\tfinding\ttext\tchange\n";

std::string row(const std::string& list, int line, const std::string& kind, const std::string& finding,
                const std::string& text, const std::string& change) {
    return list + "\t" + std::to_string(line) + "\t" + kind + "\t" + finding + "\t" + text + "\t" + change + "\n";
}

// The three lists' contents; an absent list is written empty.
struct Lists {
    std::string secure, trash, suspect;
};

class LintWin : public test::HiveTest {
protected:
    static const Target& windows() { return Target::current(); }
    static const Target& native() {
        static const Target t = Target::all().front();
        return t;
    }

    void SetUp() override {
        HiveTest::SetUp();
        for (const Target* t : {&native(), &windows()}) {
            t->clear_settings();
            store(*t, "directorys", "basefolder", t->path(tmp_ / "base"));
        }
    }
    static void store(const Target& t, const std::string& section, const std::string& name, const std::string& data) {
        auto r = t.reg({"add", "HKCU\\Software\\kalvorin\\" + section, "/v", name, "/t", "REG_SZ", "/d", data, "/f"});
        ASSERT_EQ(r.status, 0) << t.name() << ": " << r.err;
    }
    // "" leaves the upper-case option unstored, which means on.
    static void uppercase(const std::string& value) {
        for (const Target* t : {&native(), &windows()}) {
            if (value.empty())
                t->reg({"delete", "HKCU\\Software\\kalvorin\\settings", "/v", "uppercase", "/f"});
            else
                store(*t, "settings", "uppercase", value);
        }
    }
    void write(const Lists& l) const {
        test::spit(base() + "secure.filters.txt", l.secure);
        test::spit(base() + "trash.filters.txt", l.trash);
        test::spit(base() + "suspect.filters.txt", l.suspect);
    }
    // The Windows build's run, after checking that the native build's run
    // on the same folder gives the same. with_folder false: the stored base
    // folder.
    test::RunResult lint(std::vector<std::string> args, bool with_folder = true) const {
        auto native_args = args;
        if (with_folder) {
            native_args.push_back(tmp_ / "base");
            args.push_back(windows().path(tmp_ / "base"));
        }
        const auto n = native().run("kalvorin-lint", native_args);
        const auto w = windows().run("kalvorin-lint", args);
        EXPECT_EQ(w.status, n.status) << "Windows against native";
        EXPECT_EQ(w.out, n.out) << "Windows against native";
        EXPECT_EQ(w.err, n.err) << "Windows against native";
        return w;
    }
};

// Lines 2 and 4 have one shape with other tests in its slots, and no test
// alone makes line 4 match that line 5 needs: a message with "tt" in its
// subject and "mimi" in its body (so in its raw message) passes line 4 by and
// line 5 decides it.
TEST_F(LintWin, ALineAfterTwoLinesOfOneShapeStillDecides) {
    const std::string head = lines({":s", "((((SNDER=#a#+SBJCT-#b#)*ATTCH=#c#)+HEADR=#d#)+RWMSG=#e#)", ":y",
                                    "((((RWMSG=#mimi#+HEADR=#dd#)*SBJCT-#tt#)+ATTCH=#kk#)+SNDER=#gg#)"});
    for (const std::string line5 :
         {"(RWMSG=#mimi#*HEADR-\"mm\")", "(((RWMSG-#nn#+HEADR=#zz#)+RWMSG=#mimi#)*HEADR-\"mm\")"}) {
        write({head + lines({std::string(line5)}), "", ""});
        const auto r = lint({"--format", "tsv"});
        EXPECT_EQ(r.status, 0) << line5;
        EXPECT_EQ(r.out, kHeader) << line5;
    }
}

TEST_F(LintWin, FindingsUnderEachUpperCaseSetting) {
    const std::string all = "matches every message that reaches it, whatever its tests answer; no line after it decides";
    const auto every = [](const std::string& column) {
        return "the number 1 at column " + column + " makes every message match: remove it, or the line";
    };
    const std::string no_answers = "no answers of its tests make it match";
    const std::string operators = "remove the line, or change its operators: with * a test that never holds makes the line fail";
    const std::string lower =
        " never holds: with the upper-case option on the part is matched in upper case, and every match of the "
        "pattern needs a lower-case letter a to z";
    const auto upper = [](const std::string& test) {
        return "write the letters of the pattern of the test " + test + " at column 1 in upper case, or begin it with (?i)";
    };
    const std::string empty_text =
        row("secure", 1, "never-holds", "sbjct=## never holds: an empty text is never found", "sbjct=##",
            "write a text between the delimiters of the test sbjct=## at column 1, or remove the test") +
        row("secure", 1, "never-decides", no_answers, "sbjct=##", operators);
    const std::string utf8 = row("secure", 1, "utf-8",
                                 "reads as UTF-8, but the plug-in reads lists as Windows-1252 and tests the line byte "
                                 "for byte as it stands. Read as Windows-1252, as the plug-in reads it: "
                                 "mbody=#caf\xC3\xA9#. Read as UTF-8, as it was written: mbody=#caf\xE9#",
                                 "mbody=#caf\xC3\xA9#",
                                 "save the list as Windows-1252 (ANSI) instead of UTF-8, or convert it with the check "
                                 "window's button");
    struct Case {
        std::string what;
        Lists lists;
        std::string uppercase;  // "" unstored: on
        std::string findings;   // the rows after the header
    };
    const Case cases[] = {
        {"a bare 1, alone and or-ed", {lines({"1", "sbjct=#zz#+1"}), "", ""}, "",
         row("secure", 1, "decides-all", all, "1", every("1")) +
             row("secure", 2, "decides-all", all, "sbjct=#zz#+1", every("12"))},
        {"an empty text, on", {lines({"sbjct=##"}), "", ""}, "", empty_text},
        {"an empty text, off", {lines({"sbjct=##"}), "", ""}, "false", empty_text},
        {"lower-case patterns, on",
         {lines({"mbody=%viagra%"}), lines({"attch=%\\.exe$%"}), ""},
         "",
         row("secure", 1, "never-holds", "mbody=%viagra%" + lower, "mbody=%viagra%", upper("mbody=%viagra%")) +
             row("secure", 1, "never-decides", no_answers, "mbody=%viagra%", operators) +
             row("trash", 1, "never-holds", "attch=%\\\\.exe$%" + lower, "attch=%\\\\.exe$%",
                 upper("attch=%\\\\.exe$%")) +
             row("trash", 1, "never-decides", no_answers, "attch=%\\\\.exe$%", operators)},
        {"lower-case patterns, stored on",
         {lines({"mbody=%viagra%"}), "", ""},
         "true",
         row("secure", 1, "never-holds", "mbody=%viagra%" + lower, "mbody=%viagra%", upper("mbody=%viagra%")) +
             row("secure", 1, "never-decides", no_answers, "mbody=%viagra%", operators)},
        {"lower-case patterns, off", {lines({"mbody=%viagra%"}), lines({"attch=%\\.exe$%"}), ""}, "false", ""},
        {"a line saved as UTF-8, on", {lines({"mbody=#caf\xC3\xA9#"}), "", ""}, "", utf8},
        {"a line saved as UTF-8, off", {lines({"mbody=#caf\xC3\xA9#"}), "", ""}, "false", utf8},
        {"a later list repeats a line in another case, on",
         {lines({"SBJCT=#INVOICE#"}), lines({"sbjct=#invoice#"}), ""},
         "",
         row("trash", 1, "duplicate",
             "gives the same value as secure line 1 for every message, and secure line 1 decides first",
             "sbjct=#invoice#", "remove this line, or the same line at secure line 1")},
        {"a later list repeats a line in another case, off",
         {lines({"SBJCT=#INVOICE#"}), lines({"sbjct=#invoice#"}), ""}, "false", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        uppercase(c.uppercase);
        write(c.lists);
        const auto r = lint({"--format", "tsv"});
        EXPECT_EQ(r.status, c.findings.empty() ? 0 : 1);
        EXPECT_EQ(r.out, kHeader + c.findings);
        EXPECT_EQ(r.err, "");
    }
}

// The lists the configuration program writes at a fresh install, found
// through the stored base folder: their placeholder lines stand in all three
// lists and are not repeats.
TEST_F(LintWin, TheDefaultListsCheckCleanInTheStoredBaseFolder) {
    const auto list = [](const std::string& title) {
        return lines({title, ": <-- this is a comment", "snder=\"put your filters here\"", "snder=\"and here\"", ":"});
    };
    write({list(":Secure filters"), list(":Trash filters"), list(":Suspect filters")});
    const auto r = lint({}, false);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0 problems in 6 filter lines\n");
    EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace kalvorin
