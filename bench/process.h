// Starting the engine as a child process with pipes on its standard input and output, for the
// process-level figures. process_posix.cpp and process_windows.cpp each implement it for one
// operating system (each file compiles to nothing on the other).
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace velka::bench {

// The child's resident set (Windows: working set), in MiB; -1 when it cannot be read.
struct ResidentMemory {
    double peakMiB = -1;
    double currentMiB = -1;
};

class EngineProcess {
  public:
    explicit EngineProcess(const std::string& path);
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    bool started() const;
    // Writes the line and a line end.
    bool send(const std::string& line);
    // The next line without its line end (LF or CR LF); nullopt at end of output or time-out.
    std::optional<std::string> readLine();
    ResidentMemory resident() const;
    // Sends END, closes the engine's input and waits for it; false unless it exits with status 0
    // (an engine that does not exit in time is killed).
    bool finish();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The engine built beside velka-bench: pbrain-velka, or pbrain-velka64.exe on Windows.
std::string defaultEnginePath();
bool engineFileExists(const std::string& path);

}  // namespace velka::bench
