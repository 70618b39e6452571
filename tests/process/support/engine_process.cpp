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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

extern char** environ;

namespace velka::testing {

namespace {

bool flagSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && std::strcmp(value, "1") == 0;
}

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

const char* builtEngine() {
    return strongEngine() ? VELKA_STRONG_ENGINE_PATH : VELKA_ENGINE_PATH;
}

}  // namespace

std::string engineCommand() {
    const char* command = std::getenv(strongEngine() ? "VELKA_STRONG_ENGINE" : "VELKA_ENGINE");
    return command != nullptr && command[0] != '\0' ? command : builtEngine();
}

bool strongEngine() {
    return flagSet("VELKA_STRONG");
}

bool expectCrlf() {
    return flagSet("VELKA_EXPECT_CRLF");
}

int lateness() {
    return flagSet("VELKA_SANITIZED") ? 5000 : 1000;
}

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

EngineProcess::EngineProcess(bool consoleInput) {
    // A write to an engine that has already exited must fail, not kill the test.
    signal(SIGPIPE, SIG_IGN);
    int input[2];  // [0] the engine's end, [1] ours
    int output[2];
    if (!(consoleInput ? openTerminal(input) : pipe2(input, O_CLOEXEC) == 0)) return;
    if (pipe2(output, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    std::istringstream command(engineCommand());
    std::vector<std::string> words;
    for (std::string word; command >> word;) words.push_back(word);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const bool spawned = !words.empty() &&
                         posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    close(output[1]);
    toEngine_ = input[1];
    fromEngine_ = output[0];
    if (!spawned) pid_ = -1;
}

EngineProcess::~EngineProcess() {
    closeInput();
    if (running()) waitForExit(5000);
    if (fromEngine_ >= 0) close(fromEngine_);
}

bool EngineProcess::running() {
    int waitStatus = 0;
    if (pid_ >= 0 && status_ == -2 && waitpid(pid_, &waitStatus, WNOHANG) == pid_)
        status_ = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
    return pid_ >= 0 && status_ == -2;
}

void EngineProcess::sendRaw(const std::string& bytes) {
    sentAt_ = nowMs();
    for (size_t done = 0; toEngine_ >= 0 && done < bytes.size();) {
        const ssize_t wrote = write(toEngine_, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return;
        done += static_cast<size_t>(wrote);
    }
}

std::optional<std::string> EngineProcess::readLine(int timeoutMs) {
    const int64_t deadline = nowMs() + timeoutMs;
    size_t end;
    while ((end = pending_.find('\n')) == std::string::npos) {
        pollfd entry{fromEngine_, POLLIN, 0};
        const int64_t left = deadline - nowMs();
        const int ready = left > 0 ? poll(&entry, 1, static_cast<int>(left)) : 0;
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char chunk[4096];
        const ssize_t got = read(fromEngine_, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        pending_.append(chunk, static_cast<size_t>(got));
    }
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    // Linux builds end lines in LF alone; a Windows build in text mode writes CR LF.
    const bool crlf = !line.empty() && line.back() == '\r';
    if (crlf) line.pop_back();
    EXPECT_EQ(crlf, expectCrlf()) << "line end of: " << line;
    return line;
}

std::string EngineProcess::answer(int timeoutMs) {
    const std::optional<std::string> line = readLine(timeoutMs);
    if (!line) ADD_FAILURE() << "no answer within " << timeoutMs << " ms";
    return line.value_or("<no answer>");
}

void EngineProcess::closeInput() {
    if (toEngine_ >= 0) close(toEngine_);
    toEngine_ = -1;
}

std::optional<uint64_t> EngineProcess::peakResidentBytes() const {
    if (pid_ < 0 || engineCommand() != builtEngine() || flagSet("VELKA_SANITIZED"))
        return std::nullopt;
    std::FILE* status = std::fopen(("/proc/" + std::to_string(pid_) + "/status").c_str(), "r");
    if (status == nullptr) return std::nullopt;
    std::optional<uint64_t> peak;
    char line[256];
    unsigned long long kib = 0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "VmHWM: %llu kB", &kib) == 1) peak = uint64_t{kib} * 1024;
    }
    std::fclose(status);
    return peak;
}

int EngineProcess::waitForExit(int timeoutMs) {
    for (const int64_t deadline = nowMs() + timeoutMs; running() && nowMs() < deadline;)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        status_ = -1;
    }
    return pid_ < 0 ? -1 : status_;
}

}  // namespace velka::testing
