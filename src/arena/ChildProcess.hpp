// One program the arena started, owned by a handle: it runs in a process group of its own, so
// that stopping it reaches whatever it started in turn (a shell and the player it runs), and
// it is stopped and reaped exactly once, at the latest when the handle goes.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

// A null-terminated vector of pointers into `texts` for execv, built before a fork: between
// fork and exec the child makes only async-signal-safe calls (another thread may hold the
// allocator's lock at the fork).
std::vector<char*> argvPointers(const std::vector<std::string>& texts);

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `argv` (argv[0] a path) with standard input from /dev/null and standard output
    // and error into `outputFd`; false when there is no process (a failing exec shows as an
    // exit with status 127).
    bool start(const std::vector<std::string>& argv, int outputFd);
    // `command` run by /bin/sh -c.
    bool startShell(const std::string& command, int outputFd);

    bool started() const { return m_pid > 0; }
    // True once the program has ended. The ended program stays a zombie until stop(), which
    // keeps its process group id from being reused while leftovers of the group are killed.
    bool ended();
    // The exit status, or 128 + the signal that ended it; meaningful once ended().
    int exitStatus() const { return m_status; }

    // Ends the whole group: SIGTERM, up to `grace` for the program to end, then SIGKILL to
    // whatever of the group is left; then reaps the program. Nothing happens the second time.
    void stop(std::chrono::milliseconds grace = std::chrono::milliseconds(500));

private:
    pid_t m_pid = -1;
    bool m_ended = false;
    int m_status = -1;
};
