#include "engine_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

namespace velka::testing {

namespace {

constexpr int NoStatus = -2;

std::vector<std::string> splitAtSpaces(const std::string& command) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start < command.size()) {
        const size_t end = command.find(' ', start);
        const size_t stop = end == std::string::npos ? command.size() : end;
        if (stop > start) words.push_back(command.substr(start, stop - start));
        start = stop + 1;
    }
    return words;
}

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int statusOf(int waitStatus) {
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
    return NoStatus;
}

// A pseudo-terminal pair: ends[0] the terminal side for the engine, ends[1] the controlling side.
bool openTerminal(int ends[2]) {
    const int controller = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (controller < 0) return false;
    if (grantpt(controller) != 0 || unlockpt(controller) != 0) {
        close(controller);
        return false;
    }
    const char* name = ptsname(controller);
    const int terminal = name != nullptr ? open(name, O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
    if (terminal < 0) {
        close(controller);
        return false;
    }
    // No echo: nobody reads the controlling side, so echoed text would only pile up there.
    termios mode{};
    if (tcgetattr(terminal, &mode) == 0) {
        mode.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(terminal, TCSANOW, &mode);
    }
    ends[0] = terminal;
    ends[1] = controller;
    return true;
}

}  // namespace

std::string engineCommand() {
    const char* fromEnvironment = std::getenv("VELKA_ENGINE");
    if (fromEnvironment != nullptr && fromEnvironment[0] != '\0') return fromEnvironment;
    return VELKA_ENGINE_PATH;
}

bool expectCrlf() {
    const char* value = std::getenv("VELKA_EXPECT_CRLF");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

struct EngineProcess::Impl {
    pid_t pid = -1;
    int toEngine = -1;    // our end of the engine's standard input
    int fromEngine = -1;  // our end of the engine's standard output
    std::string pending;  // bytes read but not yet returned as lines
    bool outputEnded = false;
    bool lastHadCr = false;
    int exitStatus = NoStatus;

    // Reads what is available within timeoutMs; false on time-out or end of output.
    bool fill(int timeoutMs) {
        if (outputEnded) return false;
        pollfd entry{fromEngine, POLLIN, 0};
        int ready;
        do {
            ready = poll(&entry, 1, timeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0) return false;
        char chunk[4096];
        ssize_t got;
        do {
            got = read(fromEngine, chunk, sizeof chunk);
        } while (got < 0 && errno == EINTR);
        if (got <= 0) {
            outputEnded = true;
            return false;
        }
        pending.append(chunk, static_cast<size_t>(got));
        return true;
    }

    bool reap(bool block) {
        if (exitStatus != NoStatus) return true;
        if (pid < 0) return true;
        int waitStatus = 0;
        const pid_t done = waitpid(pid, &waitStatus, block ? 0 : WNOHANG);
        if (done != pid) return false;
        exitStatus = statusOf(waitStatus);
        return true;
    }
};

EngineProcess::EngineProcess() : EngineProcess(StdinKind::Pipe) {}

EngineProcess::EngineProcess(StdinKind stdinKind) : impl_(new Impl) {
    // A write to an engine that has already exited must fail, not kill the test.
    signal(SIGPIPE, SIG_IGN);
    int input[2];  // [0] the engine's end, [1] ours
    int output[2];
    if (stdinKind == StdinKind::Console) {
        if (!openTerminal(input)) return;
    } else if (pipe2(input, O_CLOEXEC) != 0) {
        return;
    }
    if (pipe2(output, O_CLOEXEC) != 0) {
        close(input[0]);
        close(input[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);

    const std::vector<std::string> words = splitAtSpaces(engineCommand());
    std::vector<char*> argv;
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int failed = words.empty()
                           ? ENOENT
                           : posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    close(output[1]);
    if (failed != 0) {
        close(input[1]);
        close(output[0]);
        return;
    }
    impl_->pid = pid;
    impl_->toEngine = input[1];
    impl_->fromEngine = output[0];
}

EngineProcess::~EngineProcess() {
    if (impl_->pid >= 0 && !impl_->reap(false)) {
        closeInput();
        waitForExit(5000);
    }
    closeInput();
    if (impl_->fromEngine >= 0) close(impl_->fromEngine);
    delete impl_;
}

bool EngineProcess::running() const {
    return impl_->pid >= 0 && !impl_->reap(false);
}

void EngineProcess::send(const std::string& line) {
    sendRaw(line + "\n");
}

void EngineProcess::sendRaw(const std::string& bytes) {
    if (impl_->toEngine < 0) return;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = write(impl_->toEngine, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return;
        done += static_cast<size_t>(wrote);
    }
}

std::optional<std::string> EngineProcess::readLine(int timeoutMs) {
    const int64_t deadline = nowMs() + timeoutMs;
    for (;;) {
        const size_t end = impl_->pending.find('\n');
        if (end != std::string::npos) {
            std::string line = impl_->pending.substr(0, end);
            impl_->pending.erase(0, end + 1);
            impl_->lastHadCr = !line.empty() && line.back() == '\r';
            if (impl_->lastHadCr) line.pop_back();
            return line;
        }
        const int64_t left = deadline - nowMs();
        if (left <= 0 || !impl_->fill(static_cast<int>(left))) {
            // A last line without its line end still counts once the output has ended.
            if (impl_->outputEnded && !impl_->pending.empty()) {
                std::string line;
                line.swap(impl_->pending);
                impl_->lastHadCr = false;
                return line;
            }
            return std::nullopt;
        }
    }
}

bool EngineProcess::lastLineHadCarriageReturn() const {
    return impl_->lastHadCr;
}

bool EngineProcess::silentFor(int ms) {
    if (!impl_->pending.empty()) return false;
    const int64_t deadline = nowMs() + ms;
    for (;;) {
        const int64_t left = deadline - nowMs();
        if (left <= 0) return impl_->pending.empty();
        if (impl_->fill(static_cast<int>(left))) return false;
        if (impl_->outputEnded) {
            // Nothing more can come; wait out the rest so callers get the pause they asked for.
            std::this_thread::sleep_for(std::chrono::milliseconds(left));
            return true;
        }
    }
}

void EngineProcess::closeInput() {
    if (impl_->toEngine < 0) return;
    close(impl_->toEngine);
    impl_->toEngine = -1;
}

int EngineProcess::waitForExit(int timeoutMs) {
    if (impl_->pid < 0) return -1;
    const int64_t deadline = nowMs() + timeoutMs;
    while (!impl_->reap(false)) {
        if (nowMs() >= deadline) {
            kill(impl_->pid, SIGKILL);
            impl_->reap(true);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return impl_->exitStatus;
}

}  // namespace velka::testing
