// Runs a built program as a child process with scripted standard input, collects its output
// and ends it when it overruns its time limit, so that no test can hang on it.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace testing_support {

// How a child process ended and what it wrote: killed when its time limit ran out, ended by
// `signal` (0 when it exited with `exitStatus`), and, with a process group of its own, whether
// processes of that group outlived it (they have been killed since).
struct ProcessResult {
    bool timedOut = false;
    int signal = 0;
    int exitStatus = -1;
    bool leftProcessesBehind = false;
    std::string out, err;
};

// How the child's standard streams are set up: `input` goes to standard input, which is then
// closed unless `keepInputOpen`; `closeOutput` closes the reading end of standard output at
// once, as `| head -0` would; `ownProcessGroup` makes the child lead a process group of its
// own, as a shell runs a job, so that a signal reaches everything it started and a time-out
// kills all of it.
struct ProcessOptions {
    std::string input;
    bool keepInputOpen = false;
    bool closeOutput = false;
    bool ownProcessGroup = false;
};

// One child process, started by the constructor.
class ScriptedProcess {
public:
    ScriptedProcess(const std::string& program, const std::vector<std::string>& args,
                    ProcessOptions options = {});
    ~ScriptedProcess();

    // Waits for the end of the child, at most `limit`; kills it when the limit runs out. The
    // destructor kills a child that still runs.
    ProcessResult wait(std::chrono::milliseconds limit);
    // The rest of the first complete output line that contains `part`, after `part`; none
    // when no such line came within `limit`.
    std::optional<std::string> waitForLine(const std::string& part,
                                           std::chrono::milliseconds limit);
    // Sends a signal to the child, or to its whole process group when it has one and
    // `wholeGroup` is set, as a terminal sends Ctrl-C to the job in the foreground.
    void signal(int number, bool wholeGroup = true) const;

private:
    void finishStreams();

    pid_t m_pid = -1;
    // The child's process group, when it leads one of its own; kept after the child ended.
    pid_t m_group = -1;
    std::mutex m_outMutex;
    int m_inputFd = -1;
    std::thread m_writer;
    std::thread m_outReader;
    std::thread m_errReader;
    ProcessResult m_result;
};

// Starts the program, feeds it `options.input`, and waits for its end within `limit`.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         std::chrono::milliseconds limit, ProcessOptions options = {});

// True when `output` holds the log entry "[" + level + "] hh:mm:ss " + message at the end of
// a line; the level is the name as printed (INFO, WARN, ERROR, FATAL).
bool hasLogLine(const std::string& output, const std::string& level, const std::string& message);

// How often `part` occurs in `text`.
std::size_t countOf(const std::string& text, const std::string& part);

} // namespace testing_support
