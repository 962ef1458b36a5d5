// The broker's user name and password for kl_poll. They never stand on the
// command line, where every user of the machine reads them in the process
// list: they come from a file (--mqtt-credentials FILE, lines
// "username=NAME" and "password=SECRET"; blank lines and lines beginning
// with '#' are skipped) or from the environment (KL_MQTT_USERNAME,
// KL_MQTT_PASSWORD). Without either the logger connects anonymously.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tools {

struct Credentials {
    std::string username;  // empty: anonymous
    std::string password;
};

// The text of a credentials file; the reason in `error` when a line is
// neither of the two keys or the password comes without a user name.
std::optional<Credentials> parseCredentials(const std::string& text, std::string& error);

// The credentials of `file`, or when it is empty those of the environment
// as `lookup` gives it (a variable not set: nothing). A file that others may
// read is taken, with a warning in `warning`.
std::optional<Credentials> loadCredentials(const std::string& file,
                                           const std::function<std::optional<std::string>(const char*)>& lookup,
                                           std::string& error, std::string& warning);

}  // namespace tools
