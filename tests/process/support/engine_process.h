// A manager's view of the engine: starts pbrain-velka as a child process with pipes on its
// standard input and output, writes command lines and reads answer lines with time limits.
#pragma once

#include <optional>
#include <string>

namespace velka::testing {

// The command that starts the engine: VELKA_ENGINE from the environment (split at spaces, e.g.
// "wine /path/pbrain-velka64.exe"), or the engine built with the tests.
std::string engineCommand();
// True when the engine under test writes CR LF line ends (VELKA_EXPECT_CRLF=1, a Windows build).
bool expectCrlf();

class EngineProcess {
  public:
    EngineProcess();
    // With StdinKind::Console the engine's standard input is a pseudo-terminal, as when a person
    // starts it from a shell; its output is a pipe either way.
    enum class StdinKind { Pipe, Console };
    explicit EngineProcess(StdinKind stdinKind);
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    bool running() const;
    // Writes the line and a LF.
    void send(const std::string& line);
    // Writes bytes exactly as given (for CR LF, over-long lines, missing line ends).
    void sendRaw(const std::string& bytes);
    // The next answer line without its line end; nullopt on time-out or end of output.
    std::optional<std::string> readLine(int timeoutMs = 10000);
    // Whether the last line read ended in CR LF.
    bool lastLineHadCarriageReturn() const;
    // True when no output arrives within ms.
    bool silentFor(int ms);
    // Closes the engine's standard input (end of input).
    void closeInput();
    // Exit status, or -1 when the engine did not exit within the time (it is then killed).
    int waitForExit(int timeoutMs = 10000);

  private:
    struct Impl;
    Impl* impl_;
};

}  // namespace velka::testing
