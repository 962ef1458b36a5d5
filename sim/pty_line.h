// The simulator's end of a pseudo-terminal, published in a device folder as
// COM<n>, so that programs open it like a serial port.
#pragma once

#include <chrono>
#include <string>

namespace sim {

class PtyLine {
public:
    // Opens a pseudo-terminal and links `folder`/COM<n> to its terminal side;
    // throws std::runtime_error when either fails.
    PtyLine(const std::string& folder, int comNumber);
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    const std::string& terminalPath() const { return terminalPath_; }
    const std::string& linkPath() const { return linkPath_; }

    // The bit rate the program has set on the line.
    unsigned lineBaud() const;

    // Characters written that the terminal side has not read yet.
    std::size_t unreadByTerminal() const;

    // Reads what has arrived, waiting at most `timeout`; empty when nothing came.
    std::string read(std::chrono::milliseconds timeout);
    void write(const std::string& bytes);

private:
    int master_ = -1;
    // The simulator keeps the terminal side open: it reads the line settings
    // through it, and the line survives programs closing and reopening it.
    int terminal_ = -1;
    std::string terminalPath_;
    std::string linkPath_;
};

}  // namespace sim
