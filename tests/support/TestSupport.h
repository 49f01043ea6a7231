#pragma once
// Shared test helpers: temporary folders, a private settings store, file
// access and, on POSIX systems, running the programs of build/dist/.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <sys/types.h>

#include "platform/posix/unique_fd.h"
#endif

namespace kalvorin::test {

// The separator the system places between a folder and a name ("\" on
// Windows, "/" elsewhere), as the programs put it after the base folder.
#ifdef _WIN32
inline const std::string kSep = "\\";
#else
inline const std::string kSep = "/";
#endif

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // path() + kSep + name
    std::string operator/(const std::string& name) const { return path_ + kSep + name; }

private:
    std::string path_;
};

// Gives the test a settings store of its own and a base folder
// ("<tmp>/base/") with a "version.ini". On POSIX systems KALVORIN_HIVE points
// at a hive file of its own; on Windows the store is the registry key
// HKCU\Software\kalvorin, emptied before and after each test, so that tests
// writing it must not run at the same time.
class HiveTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The base folder with its final separator.
    std::string base() const { return base_; }
    // Stores the base folder setting (without its final separator).
    void set_basefolder_setting(const std::string& folder) const;
    TempDir tmp_;
#ifndef _WIN32
    std::string hive_;  // the hive file
#endif
    std::string base_;

private:
    // Creates the base folder with its "version.ini".
    void make_base();
#ifndef _WIN32
    std::string saved_hive_;
    bool had_hive_ = false;
#endif
};

std::string slurp(const std::string& path);
void spit(const std::string& path, const std::string& content);
bool exists(const std::string& path);
void make_dir(const std::string& path);

// The UTF-8 bytes of a code point (no surrogate).
std::string utf8_of(char32_t cp);

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

// Sets or removes a variable of this process's environment.
void set_env(const std::string& name, const std::string& value);
void unset_env(const std::string& name);

// Stores exact data bytes under a type in the hive, as a hand edit would.
void store_value(const std::string& key, const std::string& name, std::uint32_t type, const std::string& data);

// A 32-bit number as the 4 little-endian bytes of a REG_DWORD.
std::string dword(std::int32_t v);

#ifndef _WIN32
// Running programs: POSIX only (posix_spawn, pipes, signals).

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

// Expects the process to end within a minute: to be gone, or a zombie that
// holds nothing any more. One that lives on is reported, then killed.
void expect_ended(pid_t pid);

// Copies the configuration program and its runtime files into a new folder.
void install_program(const std::string& folder);

// kalvorin-reg with the arguments, against the hive in KALVORIN_HIVE.
RunResult reg(const std::vector<std::string>& args);

#endif  // _WIN32

// A program or file of build/dist/.
std::string dist(const std::string& name);

}  // namespace kalvorin::test
