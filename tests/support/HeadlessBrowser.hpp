// Headless Chromium driven over the DevTools protocol on a pipe (--remote-debugging-pipe): a
// test opens a page and evaluates JavaScript in it as often as it likes, so that it can watch
// a page change while it stays open. Every wait has a time limit.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include <sys/types.h>

#include <nlohmann/json.hpp>

#include "tests/support/TempFolder.hpp"

namespace testing_support {

// The first Chromium on PATH, empty when there is none.
std::string findChromium();

class HeadlessBrowser {
public:
    // Starts the browser with a profile folder of its own; `started()` tells whether it runs.
    explicit HeadlessBrowser(const std::string& program);
    // Closes the browser and everything it started.
    ~HeadlessBrowser();
    HeadlessBrowser(const HeadlessBrowser&) = delete;
    HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

    bool started() const { return m_pid > 0; }
    // Opens the address in a new page, which later evaluations run in.
    bool open(const std::string& url);
    // The value of a JavaScript expression in the page; none when it failed.
    std::optional<nlohmann::json> evaluate(const std::string& expression);

private:
    std::optional<nlohmann::json> call(const std::string& method, const nlohmann::json& params,
                                       bool inPage);
    bool readMessage(nlohmann::json& message, std::chrono::steady_clock::time_point deadline);

    TempFolder m_profile;
    pid_t m_pid = -1;
    int m_toBrowser = -1;
    int m_fromBrowser = -1;
    std::string m_buffer;
    int m_nextId = 1;
    std::string m_session;
};

} // namespace testing_support
