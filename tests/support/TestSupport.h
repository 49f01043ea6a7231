#pragma once
// Shared test helpers: temporary folders, a private settings hive, file access
// and running the programs of build/dist/.
#include <gtest/gtest.h>

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/unique_fd.h"

namespace kalvorin::test {

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Points KALVORIN_HIVE at a hive file of its own for the test, and gives a base
// folder ("<tmp>/base/") with a "version.ini".
class HiveTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The base folder with its final separator.
    std::string base() const { return base_; }
    // Stores the base folder setting (without its final separator).
    void set_basefolder_setting(const std::string& folder) const;
    TempDir tmp_;
    std::string hive_;
    std::string base_;

private:
    std::string saved_hive_;
    bool had_hive_ = false;
};

std::string slurp(const std::string& path);
void spit(const std::string& path, const std::string& content);
bool exists(const std::string& path);
void make_dir(const std::string& path);

// The UTF-8 bytes of a code point (no surrogate).
std::string utf8_of(char32_t cp);

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
    long peak_rss_kb = 0;  // the most memory the program ever held, in kB
};

// Runs a program with arguments; env entries NAME=VALUE replace those of this process.
RunResult run(const std::vector<std::string>& argv, const std::string& input = std::string(),
              const std::vector<std::string>& env = {});

// How a program's standard output fails: a full disk, or a pipe that no
// one reads any more.
enum class LostOutput { full_disk, closed_pipe };

// Runs a program whose standard output cannot be written, its standard
// input the file at input_path; its standard error is caught as by run.
RunResult run_losing_output(const std::vector<std::string>& argv, LostOutput how,
                            const std::string& input_path = "/dev/null");

// A program running beside the test, its standard input a pipe that stays
// open until finish, its output going to files. Ended by finish, or by the
// destructor, which closes its input and waits for it.
class Started {
public:
    // env entries NAME=VALUE replace those of this process.
    Started(const std::vector<std::string>& argv, const std::vector<std::string>& env);
    ~Started();
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;
    // Waits until its standard output holds text (a minute at most); false
    // when it never does.
    bool wait_for_output(const std::string& text) const;
    // Closes its input, waits for it to end and gives what it did.
    RunResult finish();

private:
    TempDir io_;
    int pid_ = -1;
    int input_ = -1;
};

// The message of the error of type E that f raises, or "no error".
template <typename E, typename F>
std::string error_text(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "no error";
}

// Stores exact data bytes under a type in the hive, as a hand edit would.
void store_value(const std::string& key, const std::string& name, std::uint32_t type, const std::string& data);

// A 32-bit number as the 4 little-endian bytes of a REG_DWORD.
std::string dword(std::int32_t v);

// Starts a program that runs until it is ended (a window), waits until the
// file exists (60 s at most) and a moment more, then kills it. env entries
// NAME=VALUE replace those of this process. True when the file appeared.
bool run_until_file(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                    const std::string& file);

// A program started with pipes to its standard input and output (its
// standard error is this process's). It is killed and waited for when the
// object goes, unless it has been waited for already.
class Child {
public:
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& env);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    // The next line of its standard output without the line end; empty at the end.
    std::string read_line();
    void write(const std::string& text);
    // Sends the signal (none with 0) and waits for the end: the wait status.
    int end(int signal = 0);

private:
    pid_t pid_ = -1;
    platform::posix::UniqueFd in_;   // its standard input
    platform::posix::UniqueFd out_;  // its standard output
};

// A program or file of build/dist/.
std::string dist(const std::string& name);
// Copies the configuration program and its runtime files into a new folder.
void install_program(const std::string& folder);

// kalvorin-reg with the arguments, against the hive in KALVORIN_HIVE.
RunResult reg(const std::vector<std::string>& args);

}  // namespace kalvorin::test
