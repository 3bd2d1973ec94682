// The requests with a fresh client each, so that no test depends on a kept-alive connection.
#include "tests/support/HttpClient.hpp"

#include <httplib.h>

namespace testing_support {

namespace {

httplib::Client clientFor(std::uint16_t port) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(10, 0);
    return client;
}

HttpAnswer answerOf(const httplib::Result& result) {
    return result ? HttpAnswer{result->status, result->body} : HttpAnswer{};
}

} // namespace

HttpAnswer httpGet(std::uint16_t port, const std::string& path) {
    return answerOf(clientFor(port).Get(path.c_str()));
}

HttpAnswer httpPost(std::uint16_t port, const std::string& path) {
    return answerOf(clientFor(port).Post(path.c_str(), "x", "text/plain"));
}

// Events end with a blank line; only their "data: " line is kept.
std::vector<nlohmann::json> streamEvents(std::uint16_t port, const std::string& path,
                                         std::size_t count) {
    std::string text;
    std::vector<nlohmann::json> events;
    clientFor(port).Get(path.c_str(), [&](const char* data, std::size_t length) {
        text.append(data, length);
        for (auto end = text.find("\n\n"); end != std::string::npos; end = text.find("\n\n")) {
            const auto at = text.find("data: ");
            if (at < end) {
                events.push_back(
                    nlohmann::json::parse(text.substr(at + 6, end - at - 6), nullptr, false));
            }
            text.erase(0, end + 2);
        }
        return events.size() < count;
    });
    return events;
}

} // namespace testing_support
