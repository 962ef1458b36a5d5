#include "credentials.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tools {

std::optional<Credentials> parseCredentials(const std::string& text, std::string& error)
{
    Credentials credentials;
    bool passwordGiven = false;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line.front() == '#')
            continue;
        const std::size_t equals = line.find('=');
        const std::string key = line.substr(0, equals);
        if (equals != std::string::npos && key == "username") {
            credentials.username = line.substr(equals + 1);
        } else if (equals != std::string::npos && key == "password") {
            credentials.password = line.substr(equals + 1);
            passwordGiven = true;
        } else {
            // The line itself is not repeated: it may be a password.
            error = "строка " + std::to_string(number) + ": ожидается username=ИМЯ или password=ПАРОЛЬ";
            return std::nullopt;
        }
    }
    if (passwordGiven && credentials.username.empty()) {
        error = "пароль указан без имени пользователя";
        return std::nullopt;
    }
    return credentials;
}

std::optional<Credentials> loadCredentials(const std::string& file,
                                           const std::function<std::optional<std::string>(const char*)>& lookup,
                                           std::string& error, std::string& warning)
{
    if (file.empty()) {
        Credentials credentials;
        credentials.username = lookup("KL_MQTT_USERNAME").value_or("");
        credentials.password = lookup("KL_MQTT_PASSWORD").value_or("");
        if (credentials.username.empty() && !credentials.password.empty()) {
            error = "KL_MQTT_PASSWORD задан без KL_MQTT_USERNAME";
            return std::nullopt;
        }
        return credentials;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = "не удаётся прочитать файл " + file + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string reason;
    auto credentials = parseCredentials(text.str(), reason);
    if (!credentials) {
        error = file + ": " + reason;
        return std::nullopt;
    }
    struct stat info {};
    if (::stat(file.c_str(), &info) == 0 && (info.st_mode & (S_IRGRP | S_IROTH)) != 0)
        warning = "файл " + file + " доступен для чтения другим пользователям (chmod 600 " + file + ")";
    return credentials;
}

}  // namespace tools
