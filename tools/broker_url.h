// The broker of --mqtt: mqtt://HOST[:PORT] (1883 by default) or, over TLS,
// mqtts://HOST[:PORT] (8883). An IPv6 address stands in brackets
// (mqtt://[::1]:1883). Nothing else may stand in the URL: credentials come
// from a file or the environment, never from the command line.
#pragma once

#include <optional>
#include <string>

namespace tools {

struct BrokerUrl {
    bool tls = false;
    std::string host;
    int port = 1883;
};

// The broker of `text`, or the reason it is wrong in `error`.
std::optional<BrokerUrl> parseBrokerUrl(const std::string& text, std::string& error);

}  // namespace tools
