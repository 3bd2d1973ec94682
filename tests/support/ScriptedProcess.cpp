#include "tests/support/ScriptedProcess.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
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

// Collects everything written to `fd` until the writing end closes; the test may look at the
// text meanwhile, under the same lock.
void readAll(int fd, std::string& target, std::mutex& lock) {
    char buffer[4096];
    for (;;) {
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count > 0) {
            const std::lock_guard<std::mutex> guard(lock);
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
[[noreturn]] void execChild(char* const* argv, char* const* envp, bool ownGroup, int in, int out,
                            int err) {
    if (ownGroup) {
        setpgid(0, 0);
    }
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    signal(SIGPIPE, SIG_DFL);
    execve(argv[0], argv, envp);
    _exit(127);
}

// A null-terminated vector of pointers into `texts`, built before the fork.
std::vector<char*> pointersTo(const std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (const auto& text : texts) {
        pointers.push_back(const_cast<char*>(text.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

// The test's own environment with the extra entries behind it.
std::vector<std::string> childEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        entries.emplace_back(*entry);
    }
    entries.insert(entries.end(), extra.begin(), extra.end());
    return entries;
}

// True when a process of the group still runs. Zombies do not count: they are dead, and the
// leak checker of a sanitizer build leaves some behind whose parent is the system's.
bool groupStillRuns(pid_t group) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) {
            continue;
        }
        // After the command name in parentheses: state, parent, process group.
        std::istringstream fields(line.substr(line.rfind(')') + 1));
        char state = 0;
        pid_t parent = 0;
        pid_t processGroup = 0;
        if (fields >> state >> parent >> processGroup && processGroup == group && state != 'Z') {
            return true;
        }
    }
    return false;
}

// True when a process of the group still runs after `grace`; a process that is just ending
// gets that long to finish.
bool groupOutlives(pid_t group, std::chrono::milliseconds grace) {
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (groupStillRuns(group)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
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
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    const auto argv = pointersTo(words);
    const auto environment = childEnvironment(options.environment);
    const auto envp = pointersTo(environment);
    m_pid = fork();
    if (m_pid == 0) {
        execChild(argv.data(), envp.data(), options.ownProcessGroup, in[0], out[1], err[1]);
    }
    if (m_pid > 0 && options.ownProcessGroup) {
        // Set on both sides, so that the group exists before either goes on.
        setpgid(m_pid, m_pid);
        m_group = m_pid;
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
        m_outReader = std::thread(readAll, out[0], std::ref(m_result.out), std::ref(m_outMutex));
    }
    m_errReader = std::thread(readAll, err[0], std::ref(m_result.err), std::ref(m_outMutex));
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
        kill(SIGKILL);
        ended = waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
    // Whatever the child started and left running is stopped here, or its pipes stay open.
    if (m_group > 0 && groupOutlives(m_group, std::chrono::seconds(2))) {
        m_result.leftProcessesBehind = true;
        ::kill(-m_group, SIGKILL);
    }
    if (ended > 0 && WIFEXITED(status)) {
        m_result.exitStatus = WEXITSTATUS(status);
    } else if (ended > 0 && WIFSIGNALED(status)) {
        m_result.signaled = true;
        m_result.signal = WTERMSIG(status);
    }
    finishStreams();
    return m_result;
}

bool ScriptedProcess::waitForOutput(const std::string& part, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        {
            const std::lock_guard<std::mutex> guard(m_outMutex);
            if (m_result.out.find(part) != std::string::npos) {
                return true;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void ScriptedProcess::signal(int number, bool wholeGroup) const {
    if (m_pid > 0 && wholeGroup) {
        kill(number);
    } else if (m_pid > 0) {
        ::kill(m_pid, number);
    }
}

// A child with a group of its own takes down with it whatever it started and left running,
// which would otherwise keep the output pipes open and the test waiting.
void ScriptedProcess::kill(int number) const {
    if (m_group > 0) {
        ::kill(-m_group, number);
    } else {
        ::kill(m_pid, number);
    }
}

void ScriptedProcess::stop() {
    if (m_pid > 0) {
        kill(SIGKILL);
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
