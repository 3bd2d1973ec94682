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

#include "arena/ChildProcess.hpp"

namespace testing_support {

namespace {

using Clock = std::chrono::steady_clock;

// Collects everything written to `fd` until the writing end closes; the test may look at the
// text meanwhile, under the same lock.
void readAll(int fd, std::string& target, std::mutex& lock) {
    char buffer[4096];
    for (ssize_t count; (count = read(fd, buffer, sizeof buffer)) != 0;) {
        if (count < 0 && errno != EINTR) {
            break;
        }
        const std::lock_guard<std::mutex> guard(lock);
        target.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
    }
    close(fd);
}

// Writes the whole text; a child that ended early simply does not get the rest.
void writeAll(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t count = write(fd, text.data() + done, text.size() - done);
        if (count <= 0 && errno != EINTR) {
            break;
        }
        done += static_cast<std::size_t>(std::max<ssize_t>(count, 0));
    }
}

// Checks `done` every few milliseconds until it holds or `limit` has passed; true when it held.
template <typename Check>
bool pollFor(std::chrono::milliseconds limit, Check done) {
    const auto deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// True when a process of the group still runs. Zombies do not count: they are dead, and the
// leak checker of a sanitizer build leaves some behind whose parent is the system's.
bool groupRuns(pid_t group) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        // After the command name in parentheses: state, parent, process group.
        std::istringstream fields(line.substr(std::min(line.size(), line.rfind(')') + 1)));
        char state = 0;
        pid_t parent = 0, processGroup = 0;
        if (fields >> state >> parent >> processGroup && processGroup == group && state != 'Z') {
            return true;
        }
    }
    return false;
}

} // namespace

ScriptedProcess::ScriptedProcess(const std::string& program, const std::vector<std::string>& args,
                                 ProcessOptions options) {
    // Writing to a child that has already ended must fail, not end the test program.
    std::signal(SIGPIPE, SIG_IGN);
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        return;
    }
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    const auto argv = argvPointers(words);
    m_pid = fork();
    if (m_pid == 0) {
        if (options.ownProcessGroup) {
            setpgid(0, 0);
        }
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        ::signal(SIGPIPE, SIG_DFL);
        execve(argv[0], argv.data(), environ);
        _exit(127);
    }
    if (m_pid > 0 && options.ownProcessGroup) {
        // Set on both sides, so that the group exists before either goes on.
        setpgid(m_pid, m_pid);
        m_group = m_pid;
    }
    // Without a child the readers find the end of their streams at once.
    for (const int end : {in[0], out[1], err[1]}) {
        close(end);
    }
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
    wait(std::chrono::milliseconds(0));
}

ProcessResult ScriptedProcess::wait(std::chrono::milliseconds limit) {
    int status = 0;
    pid_t ended = 0;
    if (m_pid > 0 &&
        !pollFor(limit, [&] { return (ended = waitpid(m_pid, &status, WNOHANG)) != 0; })) {
        m_result.timedOut = true;
        signal(SIGKILL);
        ended = waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
    // Whatever the child started and left running is stopped here, or its pipes stay open; a
    // process that is just ending gets a moment to finish.
    if (m_group > 0 && !pollFor(std::chrono::seconds(2), [&] { return !groupRuns(m_group); })) {
        m_result.leftProcessesBehind = true;
        kill(-m_group, SIGKILL);
    }
    if (ended > 0) {
        m_result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        m_result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    finishStreams();
    return m_result;
}

std::optional<std::string> ScriptedProcess::waitForLine(const std::string& part,
                                                        std::chrono::milliseconds limit) {
    std::optional<std::string> rest;
    pollFor(limit, [&] {
        const std::lock_guard<std::mutex> guard(m_outMutex);
        const auto& out = m_result.out;
        const auto start = out.find(part);
        const auto end = start == std::string::npos ? start : out.find('\n', start);
        if (end != std::string::npos) {
            rest = out.substr(start + part.size(), end - start - part.size());
        }
        return rest.has_value();
    });
    return rest;
}

// A child with a group of its own is killed with whatever it started and left running, which
// would otherwise keep the output pipes open and the test waiting.
void ScriptedProcess::signal(int number, bool wholeGroup) const {
    if (m_pid > 0) {
        kill(wholeGroup && m_group > 0 ? -m_group : m_pid, number);
    }
}

// The child has ended: its pipes close, so the helper threads finish.
void ScriptedProcess::finishStreams() {
    for (std::thread* thread : {&m_writer, &m_outReader, &m_errReader}) {
        if (thread->joinable()) {
            thread->join();
        }
        if (thread == &m_writer && m_inputFd >= 0) {
            close(m_inputFd);
            m_inputFd = -1;
        }
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
    for (std::string line; std::getline(lines, line);) {
        // An entry may follow a console prompt that did not end its line; the time stamp
        // "hh:mm:ss " stands between the level and the message.
        const auto start = line.find(prefix);
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
