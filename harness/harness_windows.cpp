// Windows engine processes: CreateProcess with two anonymous pipes. Anonymous pipes offer no
// time-out on a read, so a thread of the process's own reads the engine's output as it comes and
// readLine waits on it with a time limit; polling instead would blur timings by the timer's tick.
#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h must come first: psapi.h relies on its types.
#include <psapi.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sstream>
#include <thread>

#include "harness.h"

namespace velka::harness {

namespace {

constexpr DWORD ClosingWaitMs = 5000;

void closeHandle(HANDLE& handle) {
    if (handle != nullptr) CloseHandle(handle);
    handle = nullptr;
}

// One word of a command line, quoted so that CreateProcess's parsing gives it back unchanged.
std::string quoted(const std::string& word) {
    std::string out = "\"";
    size_t backslashes = 0;
    for (const char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
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
    std::vector<char> self(MAX_PATH * 4);
    const DWORD n = GetModuleFileNameA(nullptr, self.data(), static_cast<DWORD>(self.size()));
    if (n == 0 || n >= self.size()) return "pbrain-velka64.exe";
    const std::string path(self.data(), n);
    return path.substr(0, path.find_last_of("\\/") + 1) + "pbrain-velka64.exe";
}

bool fileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

struct EngineProcess::Impl {
    HANDLE process = nullptr;
    HANDLE input = nullptr;
    HANDLE output = nullptr;
    int64_t sentAt = 0;
    bool crlf = false;
    // What the reader thread has read and not yet been taken, and whether the output ended.
    std::mutex lock;
    std::condition_variable arrived;
    std::string pending;
    bool ended = false;
    std::thread reader;

    void read() {
        char chunk[4096];
        DWORD n = 0;
        while (ReadFile(output, chunk, sizeof chunk, &n, nullptr) && n > 0) {
            const std::lock_guard<std::mutex> hold(lock);
            pending.append(chunk, n);
            arrived.notify_all();
        }
        const std::lock_guard<std::mutex> hold(lock);
        ended = true;
        arrived.notify_all();
    }
};

EngineProcess::EngineProcess(const std::vector<std::string>& argv, bool)
    : impl_(std::make_unique<Impl>()) {
    if (argv.empty()) return;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childInput = nullptr;
    HANDLE childOutput = nullptr;
    if (!CreatePipe(&childInput, &impl_->input, &inherit, 0)) return;
    if (!CreatePipe(&impl_->output, &childOutput, &inherit, 0)) {
        closeHandle(childInput);
        closeHandle(impl_->input);
        return;
    }
    // Only the child's ends are inherited; the engine must see end of input when we close ours.
    SetHandleInformation(impl_->input, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(impl_->output, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput;
    startup.hStdOutput = childOutput;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::string commandLine;
    for (const std::string& word : argv) {
        if (!commandLine.empty()) commandLine += ' ';
        commandLine += quoted(word);
    }
    PROCESS_INFORMATION info{};
    const bool created = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &info) != 0;
    closeHandle(childInput);
    closeHandle(childOutput);
    if (!created) {
        closeHandle(impl_->input);
        closeHandle(impl_->output);
        return;
    }
    CloseHandle(info.hThread);
    impl_->process = info.hProcess;
    impl_->reader = std::thread([impl = impl_.get()] { impl->read(); });
}

EngineProcess::~EngineProcess() {
    closeInput();
    if (impl_->process != nullptr) waitForExit(ClosingWaitMs);
    // The engine is gone, so its end of the output pipe is closed and the reader has stopped.
    if (impl_->reader.joinable()) impl_->reader.join();
    closeHandle(impl_->output);
    closeHandle(impl_->process);
}

bool EngineProcess::started() const {
    return impl_->process != nullptr;
}

bool EngineProcess::running() {
    return impl_->process != nullptr && WaitForSingleObject(impl_->process, 0) == WAIT_TIMEOUT;
}

bool EngineProcess::sendLine(const std::string& line) {
    return sendRaw(line + "\r\n");
}

bool EngineProcess::sendRaw(const std::string& bytes) {
    impl_->sentAt = nowMs();
    for (size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        if (impl_->input == nullptr ||
            !WriteFile(impl_->input, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                       &written, nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return true;
}

int64_t EngineProcess::sinceSendMs() const {
    return nowMs() - impl_->sentAt;
}

std::optional<std::string> EngineProcess::readLine(int timeoutMs) {
    if (impl_->process == nullptr) return std::nullopt;
    std::unique_lock<std::mutex> hold(impl_->lock);
    const bool complete = impl_->arrived.wait_for(
        hold, std::chrono::milliseconds(timeoutMs),
        [this] { return impl_->pending.find('\n') != std::string::npos || impl_->ended; });
    const size_t end = impl_->pending.find('\n');
    if (!complete || end == std::string::npos) return std::nullopt;
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
    closeHandle(impl_->input);
}

int EngineProcess::waitForExit(int timeoutMs) {
    if (impl_->process == nullptr) return -1;
    if (WaitForSingleObject(impl_->process, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
        TerminateProcess(impl_->process, 1);
        WaitForSingleObject(impl_->process, INFINITE);
        return -1;
    }
    DWORD status = 1;
    return GetExitCodeProcess(impl_->process, &status) ? static_cast<int>(status) : -1;
}

std::optional<ResidentMemory> EngineProcess::resident() const {
    if (impl_->process == nullptr) return std::nullopt;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(impl_->process, &counters, sizeof(counters))) return std::nullopt;
    return ResidentMemory{counters.PeakWorkingSetSize, counters.WorkingSetSize};
}

}  // namespace velka::harness

#endif  // _WIN32
