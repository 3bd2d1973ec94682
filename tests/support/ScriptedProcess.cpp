#include "tests/support/ScriptedProcess.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <sstream>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

namespace {

// A pipe whose two ends are not inherited past exec unless moved onto a standard stream.
bool makePipe(int fds[2]) {
    return pipe2(fds, O_CLOEXEC) == 0;
}

// Collects everything written to `fd` until the writing end closes.
void readAll(int fd, std::string& target) {
    char buffer[4096];
    for (;;) {
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count > 0) {
            target.append(buffer, static_cast<std::size_t>(count));
        } else if (count == 0 || errno != EINTR) {
            break;
        }
    }
    close(fd);
}

// Writes the whole text; a child that ended early simply does not get the rest.
void writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t count = write(fd, text.data() + done, text.size() - done);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break;
        }
        done += static_cast<std::size_t>(count);
    }
}

// In the child: puts the pipes onto the standard streams and runs the program.
// Only async-signal-safe calls: other threads of the test may hold locks at the fork.
[[noreturn]] void execChild(char* const* argv, int in, int out, int err) {
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    signal(SIGPIPE, SIG_DFL);
    execv(argv[0], argv);
    _exit(127);
}

// The argument vector for execv, built before the fork.
std::vector<char*> makeArgv(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    return argv;
}

} // namespace

ScriptedProcess::ScriptedProcess(const std::string& program, const std::vector<std::string>& args,
                                 ProcessOptions options) {
    // Writing to a child that has already ended must fail, not end the test program.
    std::signal(SIGPIPE, SIG_IGN);
    int in[2];
    int out[2];
    int err[2];
    if (!makePipe(in) || !makePipe(out) || !makePipe(err)) {
        return;
    }
    const auto argv = makeArgv(program, args);
    m_pid = fork();
    if (m_pid == 0) {
        execChild(argv.data(), in[0], out[1], err[1]);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (m_pid < 0) {
        close(in[1]);
        close(out[0]);
        close(err[0]);
        return;
    }
    m_result.started = true;
    if (options.closeOutput) {
        close(out[0]);
    } else {
        m_outReader = std::thread(readAll, out[0], std::ref(m_result.out));
    }
    m_errReader = std::thread(readAll, err[0], std::ref(m_result.err));
    m_inputFd = in[1];
    m_writer = std::thread([this, input = std::move(options.input), keep = options.keepInputOpen] {
        writeAll(m_inputFd, input);
        if (!keep) {
            close(m_inputFd);
            m_inputFd = -1;
        }
    });
}

ScriptedProcess::~ScriptedProcess() {
    stop();
}

ProcessResult ScriptedProcess::wait(std::chrono::milliseconds limit) {
    if (m_pid <= 0) {
        return m_result;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    pid_t ended = 0;
    while ((ended = waitpid(m_pid, &status, WNOHANG)) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (ended == 0) {
        m_result.timedOut = true;
        kill(m_pid, SIGKILL);
        ended = waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
    if (ended > 0 && WIFEXITED(status)) {
        m_result.exitStatus = WEXITSTATUS(status);
    } else if (ended > 0 && WIFSIGNALED(status)) {
        m_result.signaled = true;
        m_result.signal = WTERMSIG(status);
    }
    finishStreams();
    return m_result;
}

void ScriptedProcess::stop() {
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    finishStreams();
}

// The child has ended: its pipes close, so the helper threads finish.
void ScriptedProcess::finishStreams() {
    if (m_writer.joinable()) {
        m_writer.join();
    }
    if (m_inputFd >= 0) {
        close(m_inputFd);
        m_inputFd = -1;
    }
    if (m_outReader.joinable()) {
        m_outReader.join();
    }
    if (m_errReader.joinable()) {
        m_errReader.join();
    }
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         std::chrono::milliseconds limit, ProcessOptions options) {
    ScriptedProcess process(program, args, std::move(options));
    return process.wait(limit);
}

bool hasLogLine(const std::string& output, const std::string& level, const std::string& message) {
    const std::string prefix =
        "[" + std::string(5 - std::min<std::size_t>(5, level.size()), ' ') + level + "] ";
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        // An entry may follow a console prompt that did not end its line.
        const auto start = line.find(prefix);
        // The time stamp "hh:mm:ss " stands between the level and the message.
        const auto messageStart = start + prefix.size() + 9;
        if (start != std::string::npos && line.size() >= messageStart &&
            line.compare(messageStart, std::string::npos, message) == 0) {
            return true;
        }
    }
    return false;
}

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1)) {
        ++count;
    }
    return count;
}

} // namespace testing_support
