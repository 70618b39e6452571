// The engine as a manager sees it: how long from starting the process until it answers ABOUT
// (start-up builds the pattern tables first), and how much memory it holds once a board is set
// up with the default max_memory and after its first move. POSIX only.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "bench.h"

namespace velka::bench {

namespace {

constexpr int AnswerTimeoutMs = 60000;

class Engine {
  public:
    explicit Engine(const std::string& path) {
        int toEngine[2];
        int fromEngine[2];
        if (pipe2(toEngine, O_CLOEXEC) != 0) return;
        if (pipe2(fromEngine, O_CLOEXEC) != 0) {
            close(toEngine[0]);
            close(toEngine[1]);
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(toEngine[0], STDIN_FILENO);
            dup2(fromEngine[1], STDOUT_FILENO);
            execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(toEngine[0]);
        close(fromEngine[1]);
        input_ = toEngine[1];
        output_ = fromEngine[0];
        if (pid_ < 0) {
            close(input_);
            close(output_);
            input_ = output_ = -1;
        }
    }

    ~Engine() {
        if (input_ >= 0) close(input_);
        if (output_ >= 0) close(output_);
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    bool send(const std::string& line) {
        const std::string bytes = line + "\n";
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(input_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

    std::optional<std::string> readLine() {
        for (;;) {
            const size_t end = buffer_.find('\n');
            if (end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return line;
            }
            pollfd pfd{output_, POLLIN, 0};
            if (poll(&pfd, 1, AnswerTimeoutMs) <= 0) return std::nullopt;
            char chunk[4096];
            const ssize_t n = read(output_, chunk, sizeof chunk);
            if (n <= 0) return std::nullopt;
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }

    // The next line that is not a MESSAGE notice.
    std::optional<std::string> readAnswer() {
        std::optional<std::string> line;
        do line = readLine();
        while (line && line->rfind("MESSAGE", 0) == 0);
        return line;
    }

    // Closes standard input after END and reaps the process; false if it had to be killed.
    bool finish() {
        send("END");
        close(input_);
        input_ = -1;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) && WEXITSTATUS(status) == 0;
            }
            usleep(1000);
        }
        return false;
    }

  private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string buffer_;
};

std::string findEngine(const BenchOptions& options) {
    if (!options.enginePath.empty()) return options.enginePath;
    std::vector<char> self(4096);
    const ssize_t n = readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (n <= 0) return "pbrain-velka";
    std::string path(self.data(), static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + "pbrain-velka";
}

// VmHWM (peak) and VmRSS (current) of the process, in MiB; -1 when unreadable.
struct Resident {
    double peak = -1;
    double current = -1;
};

Resident residentOf(pid_t pid) {
    Resident r;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        std::istringstream fields(line);
        std::string key;
        double kib = 0;
        if (!(fields >> key >> kib)) continue;
        if (key == "VmHWM:") r.peak = kib / 1024;
        if (key == "VmRSS:") r.current = kib / 1024;
    }
    return r;
}

double median(std::vector<double> values) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

void benchProcess(const BenchOptions& options) {
    const std::string path = findEngine(options);
    if (access(path.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "engine not found at %s; process figures skipped\n", path.c_str());
        return;
    }
    std::vector<double> startUp, peakAfterStart, rssAfterStart, peakAfterMove, rssAfterMove;
    for (int rep = 0; rep < std::max(1, options.repetitions); ++rep) {
        const auto spawned = std::chrono::steady_clock::now();
        Engine engine(path);
        if (!engine.started() || !engine.send("ABOUT")) break;
        const std::optional<std::string> about = engine.readAnswer();
        const auto answered = std::chrono::steady_clock::now();
        if (!about || about->rfind("name=", 0) != 0) {
            std::fprintf(stderr, "engine gave no ABOUT line; process figures skipped\n");
            return;
        }
        startUp.push_back(std::chrono::duration<double, std::milli>(answered - spawned).count());

        if (!engine.send("START 20") || engine.readAnswer() != "OK") break;
        const Resident afterStart = residentOf(engine.pid());
        peakAfterStart.push_back(afterStart.peak);
        rssAfterStart.push_back(afterStart.current);

        // The first move wipes the whole SearchMemory, so every page of it is then resident.
        if (!engine.send("BEGIN") || !engine.readAnswer()) break;
        const Resident afterMove = residentOf(engine.pid());
        peakAfterMove.push_back(afterMove.peak);
        rssAfterMove.push_back(afterMove.current);
        if (!engine.finish()) std::fprintf(stderr, "engine did not exit cleanly after END\n");
    }
    if (startUp.empty()) {
        std::fprintf(stderr, "engine could not be driven; process figures skipped\n");
        return;
    }
    report("engine start-up to ABOUT answer", median(startUp), "ms");
    report("engine peak resident after START 20", median(peakAfterStart), "MiB");
    report("engine resident after START 20", median(rssAfterStart), "MiB");
    report("engine peak resident after first move", median(peakAfterMove), "MiB");
    report("engine resident after first move", median(rssAfterMove), "MiB");
}

}  // namespace velka::bench
