// Line use on a log that the real plug-in wrote, from the engine and from
// kalvorin-lint --usage.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CodigoComun/FileNames.h"
#include "inspect/LineUse.h"
#include "support/SampleLog.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

#ifndef _WIN32

// Most decisions first, ties in pass order; "last" counts the messages logged
// after the newest one the line decided.
const std::string kUse =
    "list\tline\tdecided\tlast\tnote\ttext\n"
    "suspect\t4\t3\t0\t-\tsnder=#.example.com#\n"
    "secure\t2\t1\t11\t-\tsnder=#@example-family.org#\n"
    "secure\t3\t1\t10\t-\tsnder=\"newsletter@kalvorin-users.example\"\n"
    "secure\t4\t1\t6\t-\tsbjct=#invoice#\n"
    "trash\t2\t1\t8\tothers-decide\tsbjct=#viagra#\n"
    "trash\t5\t1\t7\t-\t(sbjct=#lottery#+sbjct=#winner#)*mbody=#claim#\n"
    "suspect\t2\t1\t3\tothers-decide\tsbjct=#this weekend#\n"
    "trash\t3\t0\t-\tunused\tsbjct=\"viagra\"+mbody=\"viagra\"\n"
    "trash\t4\t0\t-\tunused\tattch=%\\\\.PIF$%\n"
    "suspect\t3\t0\t-\tunused\tsbjct=#winner#\n";

using test::HiveTest;

TEST_F(HiveTest, LineUseFromTheEngineAndFromKalvorinLint) {
    set_basefolder_setting(tmp_ / "base");
    test::log_samples(base());
    const inspect::FilterLists lists = inspect::read_lists(base(), platform::Place::Anywhere);
    const inspect::LineUseReport r =
        inspect::line_use(inspect::PassSettings::from_store(), lists, inspect::read_log(base() + kLogName));
    EXPECT_EQ(r.messages, 12u);
    EXPECT_EQ(inspect::line_use_tsv(r, lists), kUse);

    const auto lint = [](std::vector<std::string> args) {
        args.insert(args.begin(), test::dist("kalvorin-lint"));
        return test::run(args);
    };
    const test::RunResult usage = lint({"--usage"});
    EXPECT_EQ(usage.status, 0) << usage.err;
    EXPECT_EQ(usage.out, kUse);
    EXPECT_EQ(lint({"--usage", tmp_ / "base"}).out, kUse);
    std::filesystem::remove(base() + kLogName);
    const test::RunResult no_log = lint({"--usage"});
    EXPECT_EQ(no_log.status, 2);
    EXPECT_EQ(no_log.err, "kalvorin-lint: " + base() + kLogName + ": File not found\n");
    test::spit(base() + kLogName, "");
    std::filesystem::remove(base() + "trash.filters.txt");
    EXPECT_EQ(lint({"--usage"}).status, 2);
}

#endif  // _WIN32

}  // namespace
}  // namespace kalvorin
