#include "usb_adapters.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <system_error>

namespace platform {

namespace {

// The file's lines "COM<n> IDENTITY".
std::map<std::string, int> parse(const std::string& text)
{
    std::map<std::string, int> numbers;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t space = line.find(' ');
        if (space == std::string::npos || line.compare(0, 3, "COM") != 0)
            continue;
        const int number = std::atoi(line.c_str() + 3);
        const std::string identity = line.substr(space + 1);
        if (number > 0 && !identity.empty())
            numbers.emplace(identity, number);
    }
    return numbers;
}

std::string readAll(int fd)
{
    std::string text;
    char buffer[4096];
    ::lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

// Appends the lines of new identities; the file is only ever extended, so a
// reader never sees a number taken back.
void append(int fd, const std::map<std::string, int>& added)
{
    std::string text;
    for (const auto& [identity, number] : added)
        text += "COM" + std::to_string(number) + " " + identity + "\n";
    ::lseek(fd, 0, SEEK_END);
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

std::map<std::string, int> adapterNumbers(const std::string& memoryFile, const std::vector<std::string>& identities,
                                          const std::vector<int>& taken, int first, int last)
{
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(memoryFile).parent_path(), ec);
    // Programs started together agree on a new adapter's name: the file is
    // read and extended under its lock.
    const int fd = ::open(memoryFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    const bool locked = fd >= 0 && ::flock(fd, LOCK_EX) == 0;
    std::map<std::string, int> remembered = fd >= 0 ? parse(readAll(fd)) : std::map<std::string, int>{};
    std::set<int> used(taken.begin(), taken.end());
    for (const auto& entry : remembered)
        used.insert(entry.second);

    std::map<std::string, int> numbers;
    std::map<std::string, int> added;
    for (const std::string& identity : identities) {
        if (const auto it = remembered.find(identity); it != remembered.end()) {
            numbers[identity] = it->second;
            continue;
        }
        int number = first;
        while (number <= last && used.count(number) != 0)
            ++number;
        if (number > last)
            continue;
        used.insert(number);
        remembered[identity] = number;
        numbers[identity] = number;
        added[identity] = number;
    }
    if (locked && !added.empty())
        append(fd, added);
    if (fd >= 0)
        ::close(fd);
    return numbers;
}

}  // namespace platform
