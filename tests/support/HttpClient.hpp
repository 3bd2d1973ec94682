// Plain HTTP requests to a server on 127.0.0.1 through cpp-httplib's client, kept apart from
// the project's socket layer, whose names the library's header would clash with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace testing_support {

// Status 0 when no answer came within 10 s.
struct HttpAnswer {
    int status = 0;
    std::string body;
};

HttpAnswer httpGet(std::uint16_t port, const std::string& path);
HttpAnswer httpPost(std::uint16_t port, const std::string& path);

// The data of the first `count` events of a Server-Sent Events stream, each parsed as JSON;
// fewer when the stream ends or stalls for 10 s first.
std::vector<nlohmann::json> streamEvents(std::uint16_t port, const std::string& path,
                                         std::size_t count);

} // namespace testing_support
