// End-to-end: the configuration program killed at moments spread over a Save
// All of lists and pending files of thousands of lines. Each list is then
// whole, the old one or the new one to the byte; each waiting line is still
// waiting or in its list; the settings file reads; and a later run leaves no
// scratch file and merges nothing twice.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "CodigoComun/FileNames.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kListLines = 40000;
constexpr int kPendingLines = 3000;
constexpr int kKills = 12;
constexpr unsigned kSeed = 20240611;

// A list as a save leaves it: lines of every kind, each with CR LF, and a
// last ":" without a line end, so that saving it with nothing waiting gives
// it back unchanged.
std::string saved_list(const std::string& name) {
    std::string out = ":" + name + " filters\r\n";
    for (int k = 0; k < kListLines; ++k) {
        switch (k % 3) {
            case 0: out += "snder=#" + name + std::to_string(k) + "@example.org#\r\n"; break;
            case 1: out += "sbjct=\"" + name + " offer " + std::to_string(k) + "\"\r\n"; break;
            default: out += "mbody=%" + name + "[0-9]+x" + std::to_string(k) + "%\r\n"; break;
        }
    }
    return out + ":";
}

std::string waiting_lines(const std::string& name) {
    std::string out;
    for (int k = 0; k < kPendingLines; ++k) out += "rwmsg=#waiting " + name + " " + std::to_string(k) + "#\r\n";
    return out;
}

// "~secure.filters.txt." and 16 hexadecimal digits: the new list of a save
// on its way into the list's place.
bool is_scratch(const std::string& leaf) {
    for (const char* name : kListNames) {
        const std::string prefix = std::string("~") + name + kTextSuffix + ".";
        if (leaf.size() == prefix.size() + 16 && leaf.rfind(prefix, 0) == 0 &&
            leaf.find_first_not_of("0123456789abcdef", prefix.size()) == std::string::npos)
            return true;
    }
    return false;
}

class SaveKilledTest : public test::HiveTest {
protected:
    void SetUp() override {
        HiveTest::SetUp();
        folder_ = tmp_ / "program";
        test::install_program(folder_);
        for (const char* name : kListNames) {
            old_.push_back(saved_list(name));
            waiting_.push_back(waiting_lines(name));
        }
    }

    std::string list(std::size_t i) const { return folder_ + "/" + kListNames[i] + kTextSuffix; }
    std::string pending(std::size_t i) const { return folder_ + "/" + kListNames[i] + kPendingSuffix; }

    // Starts the program on the old lists; once its start-up has emptied the
    // pending files, lines wait in them again.
    std::unique_ptr<test::Child> start_with_waiting_lines() const {
        for (std::size_t i = 0; i < old_.size(); ++i) test::spit(list(i), old_[i]);
        auto program = start();
        for (std::size_t i = 0; i < waiting_.size(); ++i) test::spit(pending(i), waiting_[i]);
        return program;
    }

    std::unique_ptr<test::Child> start() const {
        auto program = std::make_unique<test::Child>(std::vector<std::string>{folder_ + "/Kalvorin", "--save-on-input"},
                                                     std::vector<std::string>{"QT_QPA_PLATFORM=offscreen"});
        EXPECT_EQ(program->read_line(), "ready");
        return program;
    }

    static void expect_saved(test::Child& program) {
        const int status = program.end();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }

    std::vector<std::string> lists() const {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < old_.size(); ++i) out.push_back(test::slurp(list(i)));
        return out;
    }

    std::vector<std::string> scratch_files() const {
        std::vector<std::string> out;
        for (const auto& entry : fs::directory_iterator(folder_))
            if (is_scratch(entry.path().filename().string())) out.push_back(entry.path().filename().string());
        return out;
    }

    // Every file in the program folder is one the program knows, or a scratch list.
    void expect_no_stray_files() const {
        std::set<std::string> known = {"Kalvorin", "version.ini", "lang.eng.txt", "lang.txt", kStagingFile};
        for (const char* name : kListNames) {
            known.insert(std::string(name) + kTextSuffix);
            known.insert(std::string(name) + kPendingSuffix);
        }
        for (const auto& entry : fs::directory_iterator(folder_)) {
            const std::string leaf = entry.path().filename().string();
            EXPECT_TRUE(known.count(leaf) || is_scratch(leaf)) << leaf;
        }
    }

    std::string folder_;
    std::vector<std::string> old_;      // each list before the save
    std::vector<std::string> waiting_;  // the lines that wait for each list
};

TEST_F(SaveKilledTest, EveryListIsWholeAndEveryWaitingLineIsInOnePlace) {
    // Saves that run to their end give the new lists, and the time a save
    // takes: the shortest of a few, as the machine's load only adds to it.
    Clock::duration duration = Clock::duration::max();
    for (int run = 0; run < 3; ++run) {
        auto program = start_with_waiting_lines();
        const auto began = Clock::now();
        program->write("\n");
        expect_saved(*program);
        duration = std::min(duration, Clock::now() - began);
    }
    const std::vector<std::string> new_lists = lists();
    for (std::size_t i = 0; i < new_lists.size(); ++i) {
        ASSERT_NE(new_lists[i], old_[i]);
        ASSERT_EQ(test::slurp(pending(i)), "");
    }

    // One kill in each of kKills equal slices of that time, at a random point of it.
    std::mt19937 random(kSeed);
    std::uniform_real_distribution<double> within(0.0, 1.0);
    std::vector<int> kills_by_new_lists(new_lists.size() + 1);
    for (int kill = 0; kill < kKills; ++kill) {
        const auto delay = std::chrono::duration_cast<std::chrono::microseconds>(duration * (kill + within(random)) / kKills);
        SCOPED_TRACE("seed " + std::to_string(kSeed) + ", kill " + std::to_string(kill) + " after " +
                     std::to_string(delay.count()) + " us");
        auto program = start_with_waiting_lines();
        program->write("\n");
        std::this_thread::sleep_for(delay);
        program->end(SIGKILL);

        const std::vector<std::string> after = lists();
        std::size_t lists_new = 0;
        for (std::size_t i = 0; i < after.size(); ++i) {
            SCOPED_TRACE(kListNames[i]);
            const bool is_new = after[i] == new_lists[i];
            EXPECT_TRUE(is_new || after[i] == old_[i]) << "a list of " << after[i].size() << " bytes";
            lists_new += is_new;
            // Between the new list's arrival and the emptying of its pending
            // file, the lines are in both; the next start-up empties the pending
            // file before any save.
            const std::string still_waiting = test::slurp(pending(i));
            EXPECT_TRUE(still_waiting == waiting_[i] || (is_new && still_waiting.empty()))
                << "a pending file of " << still_waiting.size() << " bytes";
        }
        ++kills_by_new_lists[lists_new];
        expect_no_stray_files();
        const auto settings = test::reg({"query", "HKCU\\Software\\kalvorin\\scores"});
        EXPECT_EQ(settings.status, 0) << settings.err;

        // A later run takes its lists as they are and leaves nothing behind.
        program = start();
        program->write("\n");
        expect_saved(*program);
        EXPECT_TRUE(lists() == after) << "a later save changed a list";
        EXPECT_EQ(scratch_files(), std::vector<std::string>{});
    }
    std::cout << "kills that found 0, 1, 2, 3 lists saved:";
    for (int n : kills_by_new_lists) std::cout << " " << n;
    std::cout << " (a save takes " << std::chrono::duration_cast<std::chrono::milliseconds>(duration).count()
              << " ms)\n";
}

// A caller that cannot hear "ready" cannot say when to save: the program
// says why and ends.
TEST_F(SaveKilledTest, AReadyThatCannotBeWrittenEndsTheProgram) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    for (const auto how : {test::LostOutput::full_disk, test::LostOutput::closed_pipe}) {
        const auto r = test::run_losing_output({folder_ + "/Kalvorin", "--save-on-input"}, how);
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("Kalvorin: standard output: "), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace kalvorin
