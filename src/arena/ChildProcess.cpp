#include "arena/ChildProcess.hpp"

#include <cerrno>
#include <csignal>
#include <thread>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The child's side of the fork: its own group, a signal if the arena dies, the streams, the
// default signal dispositions the arena changed, and the program.
[[noreturn]] void becomeProgram(char* const* argv, int input, int output) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    dup2(input, STDIN_FILENO);
    dup2(output, STDOUT_FILENO);
    dup2(output, STDERR_FILENO);
    for (const int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD}) {
        ::signal(signal, SIG_DFL);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execv(argv[0], argv);
    _exit(127);
}

} // namespace

bool ChildProcess::start(const std::vector<std::string>& argv, int outputFd) {
    if (started() || argv.empty()) {
        return false;
    }
    const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (input < 0) {
        return false;
    }
    const auto pointers = argvPointers(argv);
    const pid_t pid = fork();
    if (pid == 0) {
        becomeProgram(pointers.data(), input, outputFd);
    }
    close(input);
    if (pid < 0) {
        return false;
    }
    // Set on both sides, so that the group exists before either goes on.
    setpgid(pid, pid);
    m_pid = pid;
    return true;
}

bool ChildProcess::startShell(const std::string& command, int outputFd) {
    return start({"/bin/sh", "-c", command}, outputFd);
}

bool ChildProcess::ended() {
    if (!started() || m_ended) {
        return m_ended;
    }
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == m_pid) {
        m_ended = true;
        m_status = info.si_code == CLD_EXITED ? info.si_status : 128 + info.si_status;
    }
    return m_ended;
}

void ChildProcess::stop(std::chrono::milliseconds grace) {
    if (!started()) {
        return;
    }
    if (!ended()) {
        kill(-m_pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + grace;
        while (!ended() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    kill(-m_pid, SIGKILL);
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!m_ended) {
        m_ended = true;
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    m_pid = -1;
}

std::vector<char*> argvPointers(const std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (const auto& text : texts) {
        pointers.push_back(const_cast<char*>(text.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}
