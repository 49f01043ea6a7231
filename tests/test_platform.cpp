#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/errors.h"
#include "CodigoComun/Texto.h"
#include "platform/ansi.h"
#include "platform/shell.h"
#include "platform/textfile.h"
#include "support/TestSupport.h"
#ifndef _WIN32
#include "platform/child.h"
#include "platform/lock.h"
#include "platform/posix/lock_hook.h"
#include "support/Planted.h"
#endif

namespace kalvorin {
namespace {

using test::TempDir;

TEST(AnsiUpper, FoldsTheWindows1252Pairs) {
    struct Case {
        unsigned char in, out;
    };
    const Case cases[] = {
        {'a', 'A'}, {'z', 'Z'}, {'A', 'A'}, {'0', '0'},  {0xE0, 0xC0}, {0xE9, 0xC9}, {0xF6, 0xD6},
        {0xFE, 0xDE}, {0xF7, 0xF7}, {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F},
        {0xB5, 0xB5}, {0xDF, 0xDF}, {0xAA, 0xAA}, {0xBA, 0xBA}, {0x83, 0x83}, {0x00, 0x00},
    };
    for (const auto& c : cases)
        EXPECT_EQ(static_cast<unsigned char>(platform::ansi_upper(static_cast<char>(c.in))), c.out)
            << "byte " << int(c.in);
}

TEST(AnsiUpper, WholeTextsMapEachByteAsTheByteMappingDoes) {
    // Every byte value at every place in a word, in texts of every length
    // around a word's, with and without bytes above 0x7F among them.
    std::string all;
    for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
    std::string ascii = "azAZ@[`{ mixed Case text 09~";
    for (const std::string& source : {all + all, ascii + ascii + ascii}) {
        for (std::size_t from = 0; from < 9; ++from) {
            for (std::size_t length = 0; from + length <= source.size(); length += 7) {
                const std::string text = source.substr(from, length);
                std::string ansi, plain;
                for (const char c : text) {
                    ansi.push_back(platform::ansi_upper(c));
                    plain.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c);
                }
                ASSERT_EQ(platform::ansi_upper(text), ansi) << from << " " << length;
                ASSERT_EQ(plain_upper(text), plain) << from << " " << length;
            }
        }
    }
}

TEST(Texto, TrimRemovesControlCharactersAndBlanksOnly) {
    EXPECT_EQ(trim(std::string("\x01 \t abc \r\n\x1f", 10)), "abc");
    EXPECT_EQ(trim(std::string("\0a\0", 3)), "a");
    EXPECT_EQ(trim("\xA0x\xA0"), "\xA0x\xA0");  // the no-break space is no control character
    EXPECT_EQ(trim("   "), "");
}

TEST(Texto, ReplaceAllIsOnePassLeftToRight) {
    EXPECT_EQ(replace_all("aaa", "aa", "b"), "ba");
    EXPECT_EQ(replace_all("abab", "ab", "abab"), "abababab");
    EXPECT_EQ(replace_all("x", "", "y"), "x");
}

TEST(TextFile, LineEndsAreCrLfOrBareLfAndTheLastLineCounts) {
    TempDir d;
    struct Case {
        std::string content;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\nb\nc", {"a", "b", "c"}},
        {"a\r\n", {"a"}},
        {"\r\n\r\n", {"", ""}},
        {"a\rb\r\n", {"a\rb"}},  // a bare CR stays in the line
        {std::string("x\0y\n", 4), {std::string("x\0y", 3)}},
        // The reader takes the file in blocks of 64 KiB: lines across their edges.
        {std::string(65535, 'a') + "\r\nb", {std::string(65535, 'a'), "b"}},
        {std::string(65535, 'e') + "\n", {std::string(65535, 'e')}},
        {std::string(65536, 'c') + "\n\n", {std::string(65536, 'c'), ""}},
        {std::string(200000, 'd') + "\r", {std::string(200000, 'd') + "\r"}},
        {std::string(65536, 'f'), {std::string(65536, 'f')}},  // a whole block, then the end
        {std::string(131072, 'g') + "h", {std::string(131072, 'g') + "h"}},
    };
    // A file of the base folder is read straight from the system, any other
    // through the runtime: both give the same lines.
    for (const auto place : {platform::Place::Anywhere, platform::Place::BaseFolder})
        for (const auto& c : cases) {
            test::spit(d / "f.txt", c.content);
            EXPECT_EQ(platform::read_lines(d / "f.txt", place), c.lines)
                << testing::PrintToString(c.content.substr(0, 40)) << " of " << c.content.size();
        }
}

// The rest of a file, taken up to a cap: the whole of it when it fits,
// whatever its length against the reader's buffer and blocks, also after a
// first line, and also when the file grew after it was opened.
TEST(LineReader, TheRestIsTheWholeFileWhenItFitsTheRoom) {
    TempDir d;
    const std::string path = d / "m.eml";
    for (const std::size_t length : {0, 1, 4095, 4096, 4097, 65535, 65536, 65537, 200000})
        for (const bool first_line : {false, true})
            for (const long slack : {-1L, 0L, 1L}) {
                SCOPED_TRACE(testing::Message() << length << " bytes, first line " << first_line << ", room + " << slack);
                std::string content(length, 'x');
                if (length > 10) content[9] = '\n';
                test::spit(path, content);
                platform::LineReader in(path);
                std::string out;
                if (first_line && in.next(out, length + 1) == platform::LineReader::Read::End) continue;
                const long room = static_cast<long>(length - out.size()) + slack;
                if (room < 0) continue;
                const bool fits = in.rest(out, static_cast<std::size_t>(room));
                EXPECT_EQ(fits, slack >= 0);
                // When it does not fit, one byte past the room is read to tell so.
                EXPECT_EQ(out, content);
            }
    test::spit(path, "Subject: a\n\nbody\n");
    platform::LineReader grown(path);
    std::string out;
    ASSERT_EQ(grown.next(out, 100), platform::LineReader::Read::Whole);
    test::spit(path, "Subject: a\n\nbody\n" + std::string(100000, 'y'));
    EXPECT_TRUE(grown.rest(out, 1 << 20));
    EXPECT_EQ(out, "Subject: a\n\nbody\n" + std::string(100000, 'y'));
}

TEST(TextFile, AppendCreatesAndEndsWithCrLf) {
    TempDir d;
    platform::append_line(d / "log.txt", "one");
    platform::append_line(d / "log.txt", "");
    EXPECT_EQ(test::slurp(d / "log.txt"), "one\r\n\r\n");
    platform::reset_file(d / "log.txt");
    EXPECT_EQ(test::slurp(d / "log.txt"), "");
}

#ifndef _WIN32
// POSIX by nature: child processes, signals and the file-size limit.
constexpr std::chrono::milliseconds kAMinute(60000);

// Work in a child process hands back its text; whatever ends it early is a
// failure that leaves the caller running.
TEST(RunInChild, GivesTheTextOrWhyTheChildFailed) {
    struct Case {
        const char* what;
        std::function<std::string()> work;
        std::optional<std::string> result;
        std::string failure;
    };
    const Case cases[] = {
        {"a result", [] { return std::string(100000, 'r'); }, std::string(100000, 'r'), ""},
        {"an empty result", [] { return std::string(); }, std::string(), ""},
        {"an abort", []() -> std::string { std::abort(); }, std::nullopt, "ended by signal 6 (Aborted)"},
        {"an exception", []() -> std::string { throw std::runtime_error("x"); }, std::nullopt, "ended with status 1"},
        {"an exit", []() -> std::string { std::_Exit(3); }, std::nullopt, "ended with status 3"},
    };
    for (const Case& c : cases) {
        const platform::ChildOutcome o = platform::run_in_child(c.work, kAMinute);
        EXPECT_EQ(o.result, c.result) << c.what;
        EXPECT_EQ(o.failure, c.failure) << c.what;
    }
}

// Work that outlasts its time is ended with every process it started; so is
// what it started when it ends in time.
TEST(RunInChild, EndsWorkThatOutlastsItsTimeAndWhatItStarted) {
    TempDir d;
    // Starts a process that waits for ever and writes down both ids.
    const auto start_another = [&] {
        const pid_t other = ::fork();
        if (other == 0)
            for (;;) ::pause();
        std::ofstream(d / "pids") << other << " " << ::getpid();
    };
    struct Case {
        std::chrono::milliseconds limit;
        bool hang;
    };
    for (const Case c : {Case{std::chrono::milliseconds(300), true}, Case{kAMinute, false}}) {
        const platform::ChildOutcome o = platform::run_in_child(
            [&] {
                start_another();
                while (c.hang) ::pause();
                return std::string("done");
            },
            c.limit);
        EXPECT_EQ(o.result, c.hang ? std::nullopt : std::optional<std::string>("done")) << o.failure;
        EXPECT_EQ(o.timed_out, c.hang);
        EXPECT_EQ(o.failure, c.hang ? "did not end in time" : "");
        std::ifstream pids(d / "pids");
        for (pid_t pid = 0; pids >> pid;) test::expect_ended(pid);
    }
}

// What the work prints on standard output never reaches the caller's, and a
// caller that ignores SIGCHLD still gets its answer.
TEST(RunInChild, KeepsTheCallersOutputAndWaitsWhateverSigchldSays) {
    TempDir d;
    std::fflush(stdout);
    const int saved_out = ::dup(1);
    std::FILE* caught = std::fopen((d / "out").c_str(), "w");
    ::dup2(::fileno(caught), 1);
    const auto saved_chld = std::signal(SIGCHLD, SIG_IGN);
    const platform::ChildOutcome o = platform::run_in_child(
        [] {
            std::printf("noise");
            std::fflush(stdout);
            return std::string("answer");
        },
        kAMinute);
    std::signal(SIGCHLD, saved_chld);
    std::fflush(stdout);
    ::dup2(saved_out, 1);
    ::close(saved_out);
    std::fclose(caught);
    EXPECT_EQ(o.result, std::optional<std::string>("answer")) << o.failure;
    EXPECT_EQ(test::slurp(d / "out"), "");
}

// An append that the file-size limit stops, in the write of a long text or
// in the close that writes a short one out, leaves the file as it was.
TEST(TextFile, AnAppendThatFailsLeavesTheFileAsItWas) {
    TempDir d;
    const std::string log = d / "log.txt", before = "kept line\r\n";
    const auto saved_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct Case {
        const char* where;
        std::string text;
    };
    for (const platform::Place place : {platform::Place::Anywhere, platform::Place::BaseFolder})
        for (const Case& c : {Case{"write", std::string(100000, 'x')}, Case{"close", "abcdef"}}) {
            test::spit(log, before);
            ::chmod(log.c_str(), 0600);
            rlimit small = saved;
            small.rlim_cur = before.size() + 3;
            ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
            const std::string error =
                test::error_text<EInOutError>([&] { platform::append_line(log, c.text, place); });
            ::setrlimit(RLIMIT_FSIZE, &saved);
            EXPECT_NE(error, "no error") << c.where;
            EXPECT_EQ(test::slurp(log), before) << c.where;
        }
    std::signal(SIGXFSZ, saved_handler);
}

#endif  // _WIN32

TEST(TextFile, ErrorsCarryTheRuntimeMessages) {
    TempDir d;
    test::make_dir(d / "adir");
    auto message = [](auto&& f) { return test::error_text<EInOutError>(f); };
    EXPECT_EQ(message([&] { platform::read_lines(d / "missing.txt"); }), "File not found");
    EXPECT_EQ(message([&] { platform::read_lines(d / "nofolder/x.txt"); }), "Path not found");
    EXPECT_EQ(message([&] { platform::append_line(d / "nofolder/x.txt", "a"); }), "Path not found");
    EXPECT_EQ(message([&] { platform::append_line(d / "adir", "a"); }), "Access denied");
    EXPECT_EQ(message([&] { platform::reset_file(d / "adir"); }), "Access denied");
    EXPECT_EQ(message([&] { platform::read_lines(d / "adir"); }), "Access denied");
}

#ifndef _WIN32
// POSIX by nature: file modes, symbolic links, pipes in the file system and
// the desktop's opener found on the search path.
// A new file is made for its owner alone, never through a name that exists,
// and its bits are set on the file it is, whatever its name leads to by then.
TEST(TextFile, ANewFileIsTheOwnersAndNoLinkLeadsItAway) {
    TempDir d;
    test::spit(d / "other", "keep");
    ::chmod((d / "other").c_str(), 0644);
    std::filesystem::create_symlink(d / "other", d / "link");
    const mode_t old_mask = ::umask(022);
    for (const char* taken : {"other", "link"}) {
        EXPECT_EQ(test::error_text<EInOutError>([&] { platform::TextWriter(d / taken, platform::TextWriter::Mode::New); }),
                  "File exists") << taken;
    }
    platform::TextWriter w(d / "new", platform::TextWriter::Mode::New);
    ::umask(old_mask);
    struct stat st {};
    ASSERT_EQ(::stat((d / "new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    std::filesystem::rename(d / "new", d / "moved");
    std::filesystem::create_symlink(d / "other", d / "new");
    w.write("text");
    w.set_mode(std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
               std::filesystem::perms::others_read | std::filesystem::perms::others_write);
    w.close();
    ASSERT_EQ(::stat((d / "moved").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0606u);
    ASSERT_EQ(::stat((d / "other").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(test::slurp(d / "other"), "keep");
    EXPECT_EQ(test::slurp(d / "moved"), "text");
}

// The rules are the base folder's only: a path that a person gives on a
// command line is followed through links and may be a pipe.
TEST(TextFile, APathAPersonGivesIsFollowedAndMayBeAPipe) {
    TempDir d;
    test::spit(d / "mail.txt", "one\r\ntwo\r\n");
    std::filesystem::create_symlink(d / "mail.txt", d / "link.txt");
    EXPECT_EQ(platform::read_lines(d / "link.txt"), (std::vector<std::string>{"one", "two"}));
    platform::append_line(d / "link.txt", "three");
    EXPECT_EQ(test::slurp(d / "mail.txt"), "one\r\ntwo\r\nthree\r\n");

    test::make_fifo(d / "pipe");
    std::thread writer([&] { test::spit(d / "pipe", "piped\n"); });
    platform::LineReader reader(d / "pipe");
    std::string line;
    EXPECT_EQ(reader.next(line, 100), platform::LineReader::Read::Whole);
    writer.join();
    EXPECT_EQ(line, "piped\n");
}

// A lock on a file that the path no longer names keeps out no one: when the
// file is removed or replaced between its open and its lock, the lock is
// taken on the file that the path names by then.
TEST(FileLock, IsTakenOnTheFileThePathNamesWhenItWasReplacedMeanwhile) {
    struct Case {
        const char* how;
        void (*replace)(const std::string& path);
    };
    const Case cases[] = {
        {"removed", [](const std::string& p) { ::unlink(p.c_str()); }},
        {"removed and made anew",
         [](const std::string& p) {
             ::unlink(p.c_str());
             test::spit(p, "");
         }},
        {"another renamed over it",
         [](const std::string& p) {
             test::spit(p + ".new", "");
             ::rename((p + ".new").c_str(), p.c_str());
         }},
    };
    static void (*replace)(const std::string&) = nullptr;
    TempDir d;
    for (const auto& c : cases) {
        const std::string path = d / "plugin.lock";
        test::spit(path, "");
        replace = c.replace;
        platform::posix::lock_opened_hook = [](const std::string& p) {
            platform::posix::lock_opened_hook = nullptr;  // the first attempt only
            replace(p);
        };
        const auto lock = platform::FileLock::acquire(path, std::chrono::seconds(5));
        EXPECT_EQ(platform::posix::lock_opened_hook, nullptr) << c.how << ": not replaced";
        platform::posix::lock_opened_hook = nullptr;
        ASSERT_TRUE(lock) << c.how;
        const int other = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(other, 0) << c.how;
        EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0) << c.how;
        ::close(other);
    }
}

// The desktop's opener is whatever "xdg-open" the search path finds.
class ShellOpen : public ::testing::Test {
protected:
    void SetUp() override { saved_path_ = std::getenv("PATH"); }
    void TearDown() override { ::setenv("PATH", saved_path_.c_str(), 1); }
    TempDir bin_;
    std::string saved_path_;
};

TEST_F(ShellOpen, HandsTheTargetToTheOpenerWithoutWaiting) {
    // The opener writes its argument aside and renames it into place, so the
    // file is whole as soon as it exists.
    test::spit(bin_ / "xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.part\" && /bin/mv \"$0.part\" \"$0.arg\"\n");
    ASSERT_EQ(::chmod((bin_ / "xdg-open").c_str(), 0755), 0);
    ::setenv("PATH", bin_.path().c_str(), 1);
    platform::shell_open("/some folder/caf\xE9.txt");
    for (int i = 0; i < 3000 && !test::exists(bin_ / "xdg-open.arg"); ++i) ::usleep(10000);
    EXPECT_EQ(test::slurp(bin_ / "xdg-open.arg"), "/some folder/caf\xE9.txt");
}

TEST_F(ShellOpen, NoOpenerIsAnError) {
    ::setenv("PATH", bin_.path().c_str(), 1);
    EXPECT_NE(test::error_text<EInOutError>([] { platform::shell_open("http://example.org/"); }).find(
                  "Cannot open http://example.org/"),
              std::string::npos);
}

#endif  // _WIN32

#ifdef _WIN32
// A thread's last error lives in its own thread block. Under the 32-bit
// emulation a thread once found another's block after a system call, and the
// plug-in's threads read each other's data.
TEST(Threads, EachKeepsItsOwnLastErrorAcrossSystemCalls) {
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (DWORD code = 1; code <= 4; ++code)
        threads.emplace_back([code, &wrong] {
            for (int i = 0; i < 2000; ++i) {
                ::SetLastError(code);
                ::Sleep(0);
                if (::GetLastError() != code) ++wrong;
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
}
#endif

}  // namespace
}  // namespace kalvorin
