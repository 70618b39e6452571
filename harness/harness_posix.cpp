// POSIX engine processes: fork and exec with two pipes (or a pseudo-terminal for the input), poll
// for answers, /proc for the memory.
#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "harness.h"

namespace velka::harness {

namespace {

constexpr int ClosingWaitMs = 5000;

// A pseudo-terminal: ends[0] the terminal side for the engine, ends[1] the controlling side.
bool openTerminal(int ends[2]) {
    ends[1] = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    const char* name = ends[1] >= 0 && grantpt(ends[1]) == 0 && unlockpt(ends[1]) == 0
                           ? ptsname(ends[1])
                           : nullptr;
    ends[0] = name != nullptr ? open(name, O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
    if (ends[0] < 0) return false;
    // No echo: nobody reads the controlling side, where echoed text would pile up.
    termios mode{};
    tcgetattr(ends[0], &mode);
    mode.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    return tcsetattr(ends[0], TCSANOW, &mode) == 0;
}

}  // namespace

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::vector<std::string> splitCommand(const std::string& command) {
    std::istringstream words(command);
    std::vector<std::string> argv;
    for (std::string word; words >> word;) argv.push_back(word);
    return argv;
}

std::string engineBesideThisProgram() {
    std::vector<char> self(4096);
    const ssize_t n = readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (n <= 0) return "pbrain-velka";
    const std::string path(self.data(), static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + "pbrain-velka";
}

bool fileExists(const std::string& path) {
    return access(path.c_str(), X_OK) == 0;
}

struct EngineProcess::Impl {
    pid_t pid = -1;
    int input = -1;
    int output = -1;
    int status = -2;  // -2 while running
    int64_t sentAt = 0;
    bool crlf = false;
    std::string pending;
};

EngineProcess::EngineProcess(const std::vector<std::string>& argv, bool consoleInput)
    : impl_(std::make_unique<Impl>()) {
    // A write to an engine that has already exited must fail, not kill the manager.
    signal(SIGPIPE, SIG_IGN);
    int input[2];  // [0] the engine's end, [1] ours
    int output[2];
    if (argv.empty() || !(consoleInput ? openTerminal(input) : pipe2(input, O_CLOEXEC) == 0))
        return;
    if (pipe2(output, O_CLOEXEC) != 0) {
        close(input[0]);
        close(input[1]);
        return;
    }
    std::vector<std::string> words = argv;
    std::vector<char*> pointers;
    for (std::string& word : words) pointers.push_back(word.data());
    pointers.push_back(nullptr);
    // fork and exec rather than posix_spawn, which the WebAssembly build of the benchmark tool
    // cannot link; the child only sets up its standard handles before the exec. A byte on the
    // `failed` pipe, which the exec closes, tells that the program could not be started.
    int failed[2];
    const bool watched = pipe2(failed, O_CLOEXEC) == 0;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(input[0], STDIN_FILENO);
        dup2(output[1], STDOUT_FILENO);
        execvp(pointers[0], pointers.data());
        if (watched) (void)!write(failed[1], "x", 1);
        _exit(127);
    }
    close(input[0]);
    close(output[1]);
    if (watched) {
        close(failed[1]);
        char byte;
        ssize_t got;
        while ((got = read(failed[0], &byte, 1)) < 0 && errno == EINTR) {
        }
        close(failed[0]);
        if (got == 1 && pid > 0) {
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }
    impl_->input = input[1];
    impl_->output = output[0];
    impl_->pid = pid > 0 ? pid : -1;
}

EngineProcess::~EngineProcess() {
    closeInput();
    if (running()) waitForExit(ClosingWaitMs);
    if (impl_->output >= 0) close(impl_->output);
}

bool EngineProcess::started() const {
    return impl_->pid > 0;
}

bool EngineProcess::running() {
    int waitStatus = 0;
    if (impl_->pid > 0 && impl_->status == -2 &&
        waitpid(impl_->pid, &waitStatus, WNOHANG) == impl_->pid) {
        impl_->status =
            WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
    }
    return impl_->pid > 0 && impl_->status == -2;
}

bool EngineProcess::sendLine(const std::string& line) {
    return sendRaw(line + "\n");
}

bool EngineProcess::sendRaw(const std::string& bytes) {
    impl_->sentAt = nowMs();
    for (size_t done = 0; done < bytes.size();) {
        if (impl_->input < 0) return false;
        const ssize_t wrote = write(impl_->input, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

int64_t EngineProcess::sinceSendMs() const {
    return nowMs() - impl_->sentAt;
}

std::optional<std::string> EngineProcess::readLine(int timeoutMs) {
    if (impl_->output < 0) return std::nullopt;
    const int64_t deadline = nowMs() + timeoutMs;
    size_t end;
    while ((end = impl_->pending.find('\n')) == std::string::npos) {
        pollfd entry{impl_->output, POLLIN, 0};
        const int64_t left = deadline - nowMs();
        const int ready = left > 0 ? poll(&entry, 1, static_cast<int>(left)) : 0;
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char chunk[4096];
        const ssize_t got = read(impl_->output, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        impl_->pending.append(chunk, static_cast<size_t>(got));
    }
    std::string line = impl_->pending.substr(0, end);
    impl_->pending.erase(0, end + 1);
    impl_->crlf = !line.empty() && line.back() == '\r';
    if (impl_->crlf) line.pop_back();
    return line;
}

bool EngineProcess::lastLineCrlf() const {
    return impl_->crlf;
}

void EngineProcess::closeInput() {
    if (impl_->input >= 0) close(impl_->input);
    impl_->input = -1;
}

int EngineProcess::waitForExit(int timeoutMs) {
    for (const int64_t deadline = nowMs() + timeoutMs; running() && nowMs() < deadline;)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (running()) {
        kill(impl_->pid, SIGKILL);
        waitpid(impl_->pid, nullptr, 0);
        impl_->status = -1;
    }
    return impl_->pid > 0 ? impl_->status : -1;
}

// VmHWM (peak) and VmRSS (current) from the child's status file.
std::optional<ResidentMemory> EngineProcess::resident() const {
    if (impl_->pid <= 0) return std::nullopt;
    std::FILE* status =
        std::fopen(("/proc/" + std::to_string(impl_->pid) + "/status").c_str(), "r");
    if (status == nullptr) return std::nullopt;
    ResidentMemory memory;
    int found = 0;
    char line[256];
    unsigned long long kib = 0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "VmHWM: %llu kB", &kib) == 1) {
            memory.peakBytes = uint64_t{kib} * 1024;
            ++found;
        }
        if (std::sscanf(line, "VmRSS: %llu kB", &kib) == 1) {
            memory.currentBytes = uint64_t{kib} * 1024;
            ++found;
        }
    }
    std::fclose(status);
    if (found < 2) return std::nullopt;
    return memory;
}

}  // namespace velka::harness

#endif  // !_WIN32
