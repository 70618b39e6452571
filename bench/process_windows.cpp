// Windows child process for the benchmark: CreateProcess with two anonymous pipes. Reads block
// until the engine answers or its end of the pipe closes (the engine exited); anonymous pipes
// offer no time-out, and a timed poll would blur the start-up figure by the timer's tick.
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

#include <vector>

#include "process.h"

namespace velka::bench {

namespace {

constexpr DWORD ExitTimeoutMs = 10000;
constexpr double BytesPerMiB = 1024.0 * 1024.0;

void closeHandle(HANDLE& handle) {
    if (handle != nullptr) CloseHandle(handle);
    handle = nullptr;
}

}  // namespace

struct EngineProcess::Impl {
    HANDLE process = nullptr;
    HANDLE input = nullptr;
    HANDLE output = nullptr;
    std::string buffer;
};

EngineProcess::EngineProcess(const std::string& path) : impl_(std::make_unique<Impl>()) {
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
    std::string commandLine = "\"" + path + "\"";
    PROCESS_INFORMATION info{};
    const bool created = CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
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
}

EngineProcess::~EngineProcess() {
    closeHandle(impl_->input);
    closeHandle(impl_->output);
    if (impl_->process != nullptr) {
        TerminateProcess(impl_->process, 1);
        WaitForSingleObject(impl_->process, INFINITE);
        closeHandle(impl_->process);
    }
}

bool EngineProcess::started() const {
    return impl_->process != nullptr;
}

bool EngineProcess::send(const std::string& line) {
    if (impl_->input == nullptr) return false;
    const std::string bytes = line + "\r\n";
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(impl_->input, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                       &written, nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return true;
}

std::optional<std::string> EngineProcess::readLine() {
    if (impl_->output == nullptr) return std::nullopt;
    for (;;) {
        const size_t end = impl_->buffer.find('\n');
        if (end != std::string::npos) {
            std::string line = impl_->buffer.substr(0, end);
            impl_->buffer.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        char chunk[4096];
        DWORD n = 0;
        if (!ReadFile(impl_->output, chunk, sizeof chunk, &n, nullptr) || n == 0)
            return std::nullopt;
        impl_->buffer.append(chunk, n);
    }
}

ResidentMemory EngineProcess::resident() const {
    ResidentMemory r;
    if (impl_->process == nullptr) return r;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(impl_->process, &counters, sizeof(counters))) return r;
    r.peakMiB = static_cast<double>(counters.PeakWorkingSetSize) / BytesPerMiB;
    r.currentMiB = static_cast<double>(counters.WorkingSetSize) / BytesPerMiB;
    return r;
}

bool EngineProcess::finish() {
    if (impl_->process == nullptr) return false;
    send("END");
    closeHandle(impl_->input);
    if (WaitForSingleObject(impl_->process, ExitTimeoutMs) != WAIT_OBJECT_0) return false;
    DWORD status = 1;
    const bool read = GetExitCodeProcess(impl_->process, &status) != 0;
    closeHandle(impl_->process);
    return read && status == 0;
}

std::string defaultEnginePath() {
    std::vector<char> self(MAX_PATH * 4);
    const DWORD n = GetModuleFileNameA(nullptr, self.data(), static_cast<DWORD>(self.size()));
    if (n == 0 || n >= self.size()) return "pbrain-velka64.exe";
    const std::string path(self.data(), n);
    return path.substr(0, path.find_last_of("\\/") + 1) + "pbrain-velka64.exe";
}

bool engineFileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace velka::bench

#endif  // _WIN32
