// Runs the real reversi-server as a child process on a port the system picks, tells the test
// which port that is, and makes sure the server never outlives the test.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <sys/types.h>

namespace testing_support {

// How the server ended and what it logged.
struct ServerExit {
    bool timedOut = false;
    // -1 when it did not end normally (killed, or a signal).
    int exitStatus = -1;
    std::string out;
};

// The server's standard output and error go to a temporary file, which the test can read while
// the server runs (for the port) and after it ended (for the log).
class ServerProcess {
public:
    // Starts reversi-server with `args` followed by "--port 0".
    explicit ServerProcess(const std::vector<std::string>& args);
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    // Kills the server if it still runs and removes its output file.
    ~ServerProcess();

    // The port of the log line "Listening on port N"; 0 if the server did not report one
    // within `limit` (or ended first).
    std::uint16_t waitForPort(std::chrono::milliseconds limit);
    // Waits for the end of the server, at most `limit`; kills it when the limit runs out.
    ServerExit wait(std::chrono::milliseconds limit);
    // What the server has written so far.
    std::string output() const;

private:
    bool reap(bool block);

    std::string m_outPath;
    pid_t m_pid = -1;
    bool m_running = false;
    int m_status = 0;
};

// The board text the server logged after "Final board:", without the log line itself.
std::string finalBoardFromLog(const std::string& out);

} // namespace testing_support
