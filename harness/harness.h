// An engine as a manager runs it: a child process with pipes on its standard input and output,
// lines written to it and answer lines read with time limits. Used by the benchmark tool and the
// process-level tests. harness_posix.cpp and harness_windows.cpp each implement it
// for one operating system (each compiles to nothing on the other).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velka::harness {

// The child's memory as its operating system counts it: the resident set on Linux, the working
// set on Windows.
struct ResidentMemory {
    uint64_t peakBytes = 0;
    uint64_t currentBytes = 0;
};

// Milliseconds of a steady clock, for timing answers.
int64_t nowMs();

// The words of a command line separated by white space: "wine pbrain-velka64.exe".
std::vector<std::string> splitCommand(const std::string& command);

// The engine built beside the running program: pbrain-velka, or pbrain-velka64.exe on Windows.
std::string engineBesideThisProgram();
bool fileExists(const std::string& path);

class EngineProcess {
  public:
    // argv[0] is looked up on the PATH when it names no directory. consoleInput: the engine's
    // standard input is a terminal, as when a person starts it (POSIX; Windows gets a pipe).
    explicit EngineProcess(const std::vector<std::string>& argv, bool consoleInput = false);
    // Closes the engine's input and waits a little for it to end, then kills it.
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    bool started() const;
    bool running();
    // The line and this platform's line end (CR LF on Windows), or the bytes as they are; false
    // when the engine's input is closed.
    bool sendLine(const std::string& line);
    bool sendRaw(const std::string& bytes);
    // Milliseconds since the last write began, to time the answer to it.
    int64_t sinceSendMs() const;
    // The next line without its line end; nullopt at the end of the output or after timeoutMs.
    std::optional<std::string> readLine(int timeoutMs);
    // Whether the line readLine returned last ended in CR LF rather than LF alone.
    bool lastLineCrlf() const;
    void closeInput();
    // The exit status; -1 when the engine did not exit within timeoutMs (it is then killed) or
    // never started. An engine ended by a signal gives 128 plus the signal's number.
    int waitForExit(int timeoutMs);
    std::optional<ResidentMemory> resident() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace velka::harness
