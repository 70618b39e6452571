// POSIX child process for the benchmark: fork and exec with two pipes, poll for answers.
#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <vector>

#include "process.h"

namespace velka::bench {

namespace {

constexpr int AnswerTimeoutMs = 60000;
constexpr auto ExitTimeout = std::chrono::seconds(10);

}  // namespace

struct EngineProcess::Impl {
    pid_t pid = -1;
    int input = -1;
    int output = -1;
    std::string buffer;
};

EngineProcess::EngineProcess(const std::string& path) : impl_(std::make_unique<Impl>()) {
    int toEngine[2];
    int fromEngine[2];
    if (pipe2(toEngine, O_CLOEXEC) != 0) return;
    if (pipe2(fromEngine, O_CLOEXEC) != 0) {
        close(toEngine[0]);
        close(toEngine[1]);
        return;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(toEngine[0], STDIN_FILENO);
        dup2(fromEngine[1], STDOUT_FILENO);
        execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(toEngine[0]);
    close(fromEngine[1]);
    if (pid < 0) {
        close(toEngine[1]);
        close(fromEngine[0]);
        return;
    }
    impl_->pid = pid;
    impl_->input = toEngine[1];
    impl_->output = fromEngine[0];
}

EngineProcess::~EngineProcess() {
    if (impl_->input >= 0) close(impl_->input);
    if (impl_->output >= 0) close(impl_->output);
    if (impl_->pid > 0) {
        kill(impl_->pid, SIGKILL);
        waitpid(impl_->pid, nullptr, 0);
    }
}

bool EngineProcess::started() const {
    return impl_->pid > 0;
}

bool EngineProcess::send(const std::string& line) {
    if (impl_->input < 0) return false;
    const std::string bytes = line + "\n";
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(impl_->input, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::optional<std::string> EngineProcess::readLine() {
    if (impl_->output < 0) return std::nullopt;
    for (;;) {
        const size_t end = impl_->buffer.find('\n');
        if (end != std::string::npos) {
            std::string line = impl_->buffer.substr(0, end);
            impl_->buffer.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        pollfd pfd{impl_->output, POLLIN, 0};
        if (poll(&pfd, 1, AnswerTimeoutMs) <= 0) return std::nullopt;
        char chunk[4096];
        const ssize_t n = read(impl_->output, chunk, sizeof chunk);
        if (n <= 0) return std::nullopt;
        impl_->buffer.append(chunk, static_cast<size_t>(n));
    }
}

// VmHWM (peak) and VmRSS (current) from the child's status file.
ResidentMemory EngineProcess::resident() const {
    ResidentMemory r;
    if (impl_->pid <= 0) return r;
    std::ifstream status("/proc/" + std::to_string(impl_->pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        std::istringstream fields(line);
        std::string key;
        double kib = 0;
        if (!(fields >> key >> kib)) continue;
        if (key == "VmHWM:") r.peakMiB = kib / 1024;
        if (key == "VmRSS:") r.currentMiB = kib / 1024;
    }
    return r;
}

bool EngineProcess::finish() {
    if (impl_->pid <= 0) return false;
    send("END");
    close(impl_->input);
    impl_->input = -1;
    const auto deadline = std::chrono::steady_clock::now() + ExitTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(impl_->pid, &status, WNOHANG) == impl_->pid) {
            impl_->pid = -1;
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        usleep(1000);
    }
    return false;
}

std::string defaultEnginePath() {
    std::vector<char> self(4096);
    const ssize_t n = readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (n <= 0) return "pbrain-velka";
    const std::string path(self.data(), static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + "pbrain-velka";
}

bool engineFileExists(const std::string& path) {
    return access(path.c_str(), X_OK) == 0;
}

}  // namespace velka::bench

#endif  // !_WIN32
