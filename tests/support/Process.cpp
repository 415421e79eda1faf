#include "Process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zelo::test {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// The environment with extra entries put over those of the same name.
std::vector<std::string> Environment(const std::vector<std::string>& extra) {
    std::vector<std::string> env;
    auto name = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry(*e);
        bool replaced = false;
        for (const auto& x : extra)
            replaced = replaced || name(x) == name(entry);
        if (!replaced)
            env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

void KillGroup(pid_t pid) {
    if (::kill(-pid, SIGKILL) != 0)
        ::kill(pid, SIGKILL);
}

int Status(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

pid_t SpawnProgram(const std::vector<std::string>& args, int in, int out, int err,
                   const std::vector<std::string>& extraEnv) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int targets[3] = {0, 1, 2};
    const int sources[3] = {in, out, err};
    for (int i = 0; i < 3; ++i) {
        if (sources[i] >= 0)
            posix_spawn_file_actions_adddup2(&actions, sources[i], targets[i]);
        else
            posix_spawn_file_actions_addopen(&actions, targets[i], "/dev/null", i == 0 ? O_RDONLY : O_WRONLY,
                                             0);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigfillset(&all);
    sigset_t none;
    sigemptyset(&none);
    // The child starts with every signal at its default and none blocked, whatever the test process set.
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    std::vector<std::string> argStrings(args);
    std::vector<std::string> envStrings = Environment(extraEnv);
    std::vector<char*> argv = Pointers(argStrings);
    std::vector<char*> envp = Pointers(envStrings);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0)
        throw std::runtime_error("cannot start " + args.front() + ": " + std::strerror(rc));
    return pid;
}

int WaitForProgram(pid_t pid, std::chrono::milliseconds killTimeout, bool* timedOut) {
    if (timedOut != nullptr)
        *timedOut = false;
    // A descriptor that polls readable when the child ends: the wait needs neither a signal handler nor a
    // sleep.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        const auto deadline = Clock::now() + killTimeout;
        int ready = 0;
        while ((ready = ::poll(&p, 1, MillisecondsLeft(deadline))) < 0 && errno == EINTR) {
        }
        ::close(pidfd);
        if (ready == 0) {
            KillGroup(pid);
            if (timedOut != nullptr)
                *timedOut = true;
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return Status(status);
}

ProcessResult RunProcess(const std::vector<std::string>& args, const std::string& input,
                         const std::vector<std::string>& extraEnv, std::chrono::milliseconds killTimeout) {
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC))
        throw std::runtime_error("pipe failed");
    const auto deadline = Clock::now() + killTimeout;
    const pid_t pid = SpawnProgram(args, in[0], out[1], err[1], extraEnv);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    std::signal(SIGPIPE, SIG_IGN);
    ::fcntl(in[1], F_SETFL, ::fcntl(in[1], F_GETFL) | O_NONBLOCK);
    std::size_t written = 0;
    if (input.empty()) {
        ::close(in[1]);
        in[1] = -1;
    }
    ProcessResult result;
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
        if (!outOpen)
            fds[0].fd = -1;
        if (!errOpen)
            fds[1].fd = -1;
        const int ready = ::poll(fds, 3, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break; // the kill timeout: WaitForProgram below ends the child
        char buf[4096];
        for (int i = 0; i < 2; ++i) {
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
                ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
                if (n > 0)
                    (i == 0 ? result.Out : result.Err).append(buf, static_cast<std::size_t>(n));
                else if (n == 0 || errno != EINTR)
                    (i == 0 ? outOpen : errOpen) = false;
            }
        }
        if (in[1] >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t n = ::write(in[1], input.data() + written, input.size() - written);
            if (n > 0)
                written += static_cast<std::size_t>(n);
            if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == input.size()) {
                ::close(in[1]);
                in[1] = -1;
            }
        }
    }
    if (in[1] >= 0)
        ::close(in[1]);
    ::close(out[0]);
    ::close(err[0]);
    result.ExitCode =
        WaitForProgram(pid, std::chrono::milliseconds(MillisecondsLeft(deadline)), &result.TimedOut);
    if (result.TimedOut)
        result.Err += "\n[killed after " + std::to_string(killTimeout.count()) + " ms]";
    return result;
}

SpawnedProgram::SpawnedProgram(const std::vector<std::string>& args,
                               const std::vector<std::string>& extraEnv) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    std::string pattern = (std::filesystem::temp_directory_path() / "zelo-err-XXXXXX").string();
    const int err = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (err < 0)
        throw std::runtime_error("mkstemp failed");
    errFile_ = pattern;
    try {
        pid_ = SpawnProgram(args, -1, out[1], err, extraEnv);
    } catch (...) {
        ::close(out[0]);
        ::close(out[1]);
        ::close(err);
        throw;
    }
    ::close(out[1]);
    ::close(err);
    out_ = out[0];
}

SpawnedProgram::~SpawnedProgram() {
    if (pid_ > 0) {
        KillGroup(pid_);
        Wait();
    }
    if (out_ >= 0)
        ::close(out_);
    std::error_code ec;
    std::filesystem::remove(errFile_, ec);
}

std::string SpawnedProgram::FirstLine(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (buffered_.find('\n') == std::string::npos) {
        pollfd p{out_, POLLIN, 0};
        const int ready = ::poll(&p, 1, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        char buffer[512];
        const ssize_t n = ::read(out_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        buffered_.append(buffer, static_cast<std::size_t>(n));
    }
    const auto end = buffered_.find('\n');
    if (end == std::string::npos)
        return {};
    std::string line = buffered_.substr(0, end);
    buffered_.erase(0, end + 1);
    return line;
}

void SpawnedProgram::Signal(int signal) const {
    if (pid_ > 0)
        ::kill(pid_, signal);
}

int SpawnedProgram::Wait(std::chrono::milliseconds killTimeout) {
    if (pid_ <= 0)
        return -1;
    const int code = WaitForProgram(pid_, killTimeout);
    pid_ = -1;
    return code;
}

std::string SpawnedProgram::RestOfStdout() {
    // Read only once the program has ended: then the pipe ends too and the read cannot hang.
    char buffer[4096];
    while (pid_ <= 0) {
        const ssize_t n = ::read(out_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        buffered_.append(buffer, static_cast<std::size_t>(n));
    }
    std::string rest;
    rest.swap(buffered_);
    return rest;
}

std::string SpawnedProgram::Stderr() const {
    std::ifstream in(errFile_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string BuiltProgram(const std::string& name) {
    for (const char* dir : {"/src/cli/", "/src/sim/", "/src/window/qt/", "/"}) {
        std::string path = std::string(ZELO_BINARY_DIR) + dir + name;
        if (std::filesystem::exists(path))
            return path;
    }
    throw std::runtime_error("program not built: " + name);
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zelo-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    Path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(Path_, ec);
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
    std::string path = File(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

ProcessResult Zeloctl(std::vector<std::string> args, const std::string& input) {
    args.insert(args.begin(), BuiltProgram("zeloctl"));
    return RunProcess(args, input);
}

} // namespace zelo::test
