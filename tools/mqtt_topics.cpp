#include "mqtt_topics.h"

namespace tools {

std::string topicLevel(const std::string& name)
{
    if (name.empty())
        return "_";
    std::string level = name;
    for (char& c : level)
        if (c == '/' || c == '+' || c == '#' || static_cast<unsigned char>(c) < 0x20)
            c = '_';
    return level;
}

std::string defaultTopicPrefix(const std::string& host, const std::string& port)
{
    return "kl/" + topicLevel(host) + "/" + topicLevel(port);
}

std::string deviceTopic(const std::string& prefix, int address)
{
    return prefix + "/" + std::to_string(address);
}

std::string deviceStatusTopic(const std::string& prefix, int address)
{
    return deviceTopic(prefix, address) + "/status";
}

std::string loggerStatusTopic(const std::string& prefix) { return prefix + "/status"; }

bool validTopicPrefix(const std::string& prefix)
{
    return !prefix.empty() && prefix.back() != '/' && prefix.find_first_of("+#") == std::string::npos
        && prefix.find('\0') == std::string::npos;
}

}  // namespace tools
