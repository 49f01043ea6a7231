// The POSIX half of the test helpers: a private hive file, and running programs.
#include "support/TestSupport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>
#include <filesystem>

extern char** environ;

namespace kalvorin::test {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kalvorin-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

void HiveTest::SetUp() {
    if (const char* h = std::getenv("KALVORIN_HIVE")) {
        had_hive_ = true;
        saved_hive_ = h;
    }
    hive_ = tmp_ / "hkcu.db";
    ::setenv("KALVORIN_HIVE", hive_.c_str(), 1);
    make_base();
}

void HiveTest::TearDown() {
    if (had_hive_)
        ::setenv("KALVORIN_HIVE", saved_hive_.c_str(), 1);
    else
        ::unsetenv("KALVORIN_HIVE");
}

namespace {

// This process's environment with the given NAME=VALUE entries in place of its own.
std::vector<std::string> environment_with(const std::vector<std::string>& overrides) {
    std::vector<std::string> env(overrides);
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const auto& o : overrides) replaced = replaced || o.rfind(name, 0) == 0;
        if (!replaced) env.push_back(entry);
    }
    return env;
}

// Starts the program with the environment's overrides; false when it could not be started.
bool spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
           const posix_spawn_file_actions_t* files, pid_t& pid) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> envs = environment_with(env);
    std::vector<char*> envp;
    for (auto& e : envs) envp.push_back(e.data());
    envp.push_back(nullptr);
    return posix_spawn(&pid, args[0], files, nullptr, args.data(), envp.data()) == 0;
}

}  // namespace

RunResult run(const std::vector<std::string>& argv, const std::string& input, const std::vector<std::string>& env) {
    TempDir io;
    const std::string in = io / "in", out = io / "out", err = io / "err";
    spit(in, input);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    RunResult r;
    if (spawn(argv, env, &fa, pid)) {
        int status = 0;
        struct rusage usage {};
        ::wait4(pid, &status, 0, &usage);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.peak_rss_kb = usage.ru_maxrss;
    }
    posix_spawn_file_actions_destroy(&fa);
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
}

RunResult run_losing_output(const std::vector<std::string>& argv, LostOutput how, const std::string& input_path) {
    TempDir io;
    const std::string err = io / "err";
    int ends[2] = {-1, -1};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, input_path.c_str(), O_RDONLY, 0);
    if (how == LostOutput::full_disk) {
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/full", O_WRONLY, 0);
    } else {
        // The reading end goes before the program starts: its first write fails.
        if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        ::close(ends[0]);
        posix_spawn_file_actions_adddup2(&fa, ends[1], 1);
    }
    posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    RunResult r;
    if (spawn(argv, {}, &fa, pid)) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&fa);
    if (ends[1] >= 0) ::close(ends[1]);
    r.err = slurp(err);
    return r;
}

Started::Started(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    int pipefd[2];
    // Close-on-exec, so that no other program started meanwhile keeps the
    // input open after finish.
    if (::pipe2(pipefd, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, pipefd[0], 0);
    posix_spawn_file_actions_addopen(&fa, 1, (io_ / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&fa, 2, (io_ / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const bool started = spawn(argv, env, &fa, pid);
    posix_spawn_file_actions_destroy(&fa);
    ::close(pipefd[0]);
    input_ = pipefd[1];
    if (started) pid_ = pid;
}

Started::~Started() { finish(); }

bool Started::wait_for_output(const std::string& text) const {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (slurp(io_ / "out").find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > give_up) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

RunResult Started::finish() {
    RunResult r;
    if (input_ >= 0) ::close(input_);
    input_ = -1;
    if (pid_ > 0) {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    pid_ = -1;
    r.out = slurp(io_ / "out");
    r.err = slurp(io_ / "err");
    return r;
}

bool run_until_file(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                    const std::string& file) {
    pid_t pid = 0;
    if (!spawn(argv, env, nullptr, pid)) return false;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!exists(file) && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // The window is up once start-up is done; give it a moment to finish.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return exists(file);
}

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    // A child that has ended makes a write fail instead of ending this process.
    ::signal(SIGPIPE, SIG_IGN);
    int to_child[2], from_child[2];
    if (::pipe2(to_child, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    const platform::posix::UniqueFd child_in(to_child[0]);
    in_ = platform::posix::UniqueFd(to_child[1]);
    if (::pipe2(from_child, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    const platform::posix::UniqueFd child_out(from_child[1]);
    out_ = platform::posix::UniqueFd(from_child[0]);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, child_in.get(), 0);
    posix_spawn_file_actions_adddup2(&fa, child_out.get(), 1);
    const bool started = spawn(argv, env, &fa, pid_);
    posix_spawn_file_actions_destroy(&fa);
    if (!started) throw std::runtime_error("cannot start " + argv[0]);
}

Child::~Child() {
    if (pid_ > 0) end(SIGKILL);
}

std::string Child::read_line() {
    std::string line;
    char c = 0;
    while (::read(out_.get(), &c, 1) == 1 && c != '\n') line.push_back(c);
    return line;
}

void Child::write(const std::string& text) {
    if (::write(in_.get(), text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        throw std::runtime_error("cannot write to the child");
}

int Child::end(int signal) {
    if (signal != 0) ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
}

void expect_ended(pid_t pid) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    // The state follows the program name, which ends with the last ')'.
    for (std::string stat; !(stat = slurp("/proc/" + std::to_string(pid) + "/stat")).empty();) {
        if (stat.compare(stat.rfind(')'), 3, ") Z") == 0) return;
        if (std::chrono::steady_clock::now() > give_up) {
            ADD_FAILURE() << "process " << pid << " lives on";
            ::kill(pid, SIGKILL);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

RunResult reg(const std::vector<std::string>& args) {
    std::vector<std::string> argv{dist("kalvorin-reg")};
    argv.insert(argv.end(), args.begin(), args.end());
    return run(argv);
}

void install_program(const std::string& folder) {
    make_dir(folder);
    for (const char* f : {"Kalvorin", "version.ini", "lang.eng.txt", "lang.txt"})
        std::filesystem::copy_file(dist(f), folder + "/" + f);
}

}  // namespace kalvorin::test
