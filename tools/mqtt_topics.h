// The MQTT topics of kl_poll. Under a prefix (by default kl/<host>/<port>, the
// machine's name and the port's name) each device has its topic
// PREFIX/<address> for its readings and PREFIX/<address>/status for its
// state; PREFIX/status is the logger's own state, which the broker sets to
// offline as the logger's last will.
#pragma once

#include <string>

namespace tools {

// A topic level made of a name: the characters MQTT gives a meaning in topics
// ('/', '+', '#') and control characters become '_'; an empty name is "_".
std::string topicLevel(const std::string& name);

std::string defaultTopicPrefix(const std::string& host, const std::string& port);
std::string deviceTopic(const std::string& prefix, int address);
std::string deviceStatusTopic(const std::string& prefix, int address);
std::string loggerStatusTopic(const std::string& prefix);

// Whether `prefix` can stand before the topics: not empty, no wildcard, no
// empty level at its end.
bool validTopicPrefix(const std::string& prefix);

}  // namespace tools
