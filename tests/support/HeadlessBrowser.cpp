// The DevTools protocol over a pipe: the browser reads commands from its descriptor 3 and writes
// answers and events to its descriptor 4, each message JSON ended by a NUL byte.
#include "tests/support/HeadlessBrowser.hpp"

#include <csignal>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

namespace {

constexpr std::chrono::seconds CallLimit{30};

// In the child: the pipe ends to descriptors 3 and 4 (by way of high numbers, so that neither
// is overwritten before it is moved), output to /dev/null, then the browser.
[[noreturn]] void execBrowser(const std::string& program, const std::string& profile, int in,
                              int out) {
    setpgid(0, 0);
    const int highIn = fcntl(in, F_DUPFD, 10);
    const int highOut = fcntl(out, F_DUPFD, 10);
    dup2(highIn, 3);
    dup2(highOut, 4);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    std::vector<std::string> args{program,
                                  "--headless",
                                  "--no-sandbox",
                                  "--disable-gpu",
                                  "--disable-quic",
                                  "--no-first-run",
                                  "--disable-background-networking",
                                  "--disable-component-update",
                                  "--disable-sync",
                                  "--user-data-dir=" + profile,
                                  "--remote-debugging-pipe",
                                  "about:blank"};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

} // namespace

std::string findChromium() {
    for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
        if (const std::string path = findOnPath(name); !path.empty()) {
            return path;
        }
    }
    return "";
}

HeadlessBrowser::HeadlessBrowser(const std::string& program) {
    int toBrowser[2];
    int fromBrowser[2];
    if (pipe2(toBrowser, O_CLOEXEC) != 0 || pipe2(fromBrowser, O_CLOEXEC) != 0) {
        return;
    }
    m_pid = fork();
    if (m_pid == 0) {
        execBrowser(program, m_profile.path().string(), toBrowser[0], fromBrowser[1]);
    }
    close(toBrowser[0]);
    close(fromBrowser[1]);
    m_toBrowser = toBrowser[1];
    m_fromBrowser = fromBrowser[0];
}

HeadlessBrowser::~HeadlessBrowser() {
    if (m_pid <= 0) {
        return;
    }
    call("Browser.close", nlohmann::json::object(), false);
    close(m_toBrowser);
    close(m_fromBrowser);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (waitpid(m_pid, nullptr, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(-m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            break;
        }
        usleep(20000);
    }
    kill(-m_pid, SIGKILL);
}

bool HeadlessBrowser::open(const std::string& url) {
    const auto target = call("Target.createTarget", {{"url", url}}, false);
    if (!target || !target->contains("targetId")) {
        return false;
    }
    const auto attached = call("Target.attachToTarget",
                               {{"targetId", (*target)["targetId"]}, {"flatten", true}}, false);
    if (!attached || !attached->contains("sessionId")) {
        return false;
    }
    m_session = (*attached)["sessionId"].get<std::string>();
    return true;
}

std::optional<nlohmann::json> HeadlessBrowser::evaluate(const std::string& expression) {
    const auto result =
        call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}}, true);
    if (!result || result->contains("exceptionDetails") || !result->contains("result")) {
        return std::nullopt;
    }
    return (*result)["result"].value("value", nlohmann::json());
}

// Sends one command and skips the events that come before its answer.
std::optional<nlohmann::json> HeadlessBrowser::call(const std::string& method,
                                                    const nlohmann::json& params, bool inPage) {
    const int id = m_nextId++;
    nlohmann::json command{{"id", id}, {"method", method}, {"params", params}};
    if (inPage) {
        command["sessionId"] = m_session;
    }
    const std::string text = command.dump() + '\0';
    if (write(m_toBrowser, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + CallLimit;
    nlohmann::json message;
    while (readMessage(message, deadline)) {
        if (message.value("id", 0) == id) {
            return message.contains("result") ? std::optional(message["result"]) : std::nullopt;
        }
    }
    return std::nullopt;
}

bool HeadlessBrowser::readMessage(nlohmann::json& message,
                                  std::chrono::steady_clock::time_point deadline) {
    std::size_t end = m_buffer.find('\0');
    while (end == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{m_fromBrowser, POLLIN, 0};
        char chunk[65536];
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        const ssize_t got = read(m_fromBrowser, chunk, sizeof chunk);
        if (got <= 0) {
            return false;
        }
        m_buffer.append(chunk, static_cast<std::size_t>(got));
        end = m_buffer.find('\0');
    }
    message = nlohmann::json::parse(m_buffer.substr(0, end), nullptr, false);
    m_buffer.erase(0, end + 1);
    return true;
}

} // namespace testing_support
