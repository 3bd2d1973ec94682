#include "tests/support/ServerProcess.hpp"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/TestPaths.hpp"

namespace testing_support {

namespace {

constexpr std::chrono::milliseconds PollInterval{10};

std::string makeOutputFile() {
    const char* dir = std::getenv("TMPDIR");
    std::string path = std::string(dir != nullptr ? dir : "/tmp") + "/reversi-server-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) {
        return {};
    }
    close(fd);
    return path;
}

} // namespace

// The argument vector is built before the fork: the child makes only async-signal-safe calls.
ServerProcess::ServerProcess(const std::vector<std::string>& args) : m_outPath(makeOutputFile()) {
    const std::string program = programPath("reversi-server");
    std::vector<std::string> all = args;
    all.insert(all.end(), {"--port", "0"});
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (auto& arg : all) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const int out = open(m_outPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (out < 0) {
        return;
    }
    m_pid = fork();
    if (m_pid == 0) {
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out);
    m_running = m_pid > 0;
}

ServerProcess::~ServerProcess() {
    if (m_running) {
        kill(m_pid, SIGKILL);
        reap(true);
    }
    if (!m_outPath.empty()) {
        unlink(m_outPath.c_str());
    }
}

std::uint16_t ServerProcess::waitForPort(std::chrono::milliseconds limit) {
    static const std::regex portLine(R"(\] \d\d:\d\d:\d\d Listening on port (\d+)\n)");
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        std::smatch match;
        const std::string out = output();
        if (std::regex_search(out, match, portLine)) {
            return static_cast<std::uint16_t>(std::stoul(match[1].str()));
        }
        if (!m_running || reap(false)) {
            return 0;
        }
        std::this_thread::sleep_for(PollInterval);
    }
    return 0;
}

ServerExit ServerProcess::wait(std::chrono::milliseconds limit) {
    ServerExit result;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (m_running && !reap(false)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(m_pid, SIGKILL);
            reap(true);
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(PollInterval);
    }
    if (!result.timedOut && m_pid > 0 && WIFEXITED(m_status)) {
        result.exitStatus = WEXITSTATUS(m_status);
    }
    result.out = output();
    return result;
}

std::string ServerProcess::output() const {
    std::ifstream in(m_outPath);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// True when the server has ended (and is reaped).
bool ServerProcess::reap(bool block) {
    if (!m_running) {
        return true;
    }
    if (waitpid(m_pid, &m_status, block ? 0 : WNOHANG) == m_pid) {
        m_running = false;
    }
    return !m_running;
}

std::string finalBoardFromLog(const std::string& out) {
    const std::string marker = "Final board:\n";
    const auto start = out.find(marker);
    if (start == std::string::npos) {
        return {};
    }
    std::istringstream lines(out.substr(start + marker.size()));
    std::string board;
    for (std::string line; std::getline(lines, line) && line.rfind('[', 0) != 0;) {
        board += line + '\n';
    }
    return board;
}

} // namespace testing_support
