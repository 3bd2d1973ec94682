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

// How a child process ended and what it wrote.
struct ProcessResult {
    // The time limit ran out and the child was killed.
    bool timedOut = false;
    // The signal that ended the child, 0 when it exited with `exitStatus`.
    int signal = 0;
    int exitStatus = -1;
    // With a process group of its own: processes of that group still ran when the child
    // ended (they have been killed since).
    bool leftProcessesBehind = false;
    std::string out;
    std::string err;
};

// How the child's standard streams are set up.
struct ProcessOptions {
    // Written to the child's standard input, which is then closed unless `keepInputOpen`.
    std::string input;
    bool keepInputOpen = false;
    // Close the reading end of the child's standard output at once, as `| head -0` would.
    bool closeOutput = false;
    // Run the child as the leader of a process group of its own, as a shell runs a job: a
    // signal can then reach everything it started, and a time-out kills all of it.
    bool ownProcessGroup = false;
};

// One child process, started by the constructor.
class ScriptedProcess {
public:
    ScriptedProcess(const std::string& program, const std::vector<std::string>& args,
                    ProcessOptions options = {});
    ScriptedProcess(const ScriptedProcess&) = delete;
    ScriptedProcess& operator=(const ScriptedProcess&) = delete;
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
