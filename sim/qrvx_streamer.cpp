#include "qrvx_streamer.h"

#include "option_values.h"

#include "pty_line.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

namespace sim {

const char* const kQrvxUsage = R"(
QRVX mode: kl_sim --qrvx [--dir DIR] [--com N] [--no-line-time] [options]

Plays a QRVX device: it streams value frames ":" D value checksum CR LF,
answers "G" with "G" <zero text> CR LF, echoes the command character and takes
the bytes after it (up to CR, LF or a 5 ms pause) as the new zero text.

  --qrvx                 play a QRVX device instead of Modbus devices
  --rate N               frames per second (default 10); with line time the
                         line's speed caps it (10 bits a character)
  --value N              centre of the signal (default 1200)
  --swing N              amplitude of its slow swing, period 30 s, with a
                         little noise (default 15; 0 = constant value)
  --counter              send 1, 2, 3, ... instead (to count lost frames)
  --bad-lrc-share P      share 0..1 of frames sent with a wrong checksum,
                         spread evenly (default 0)
  --command-char C       the character that announces a packet (default Z)
)";

namespace {

// Frames are written only while the terminal holds fewer unread characters.
constexpr std::size_t kUnreadLimit = 2048;

// A value of a QRVX frame: at most 9 characters.
long frameValue(const std::string& text, const std::string& what)
{
    return bounded(text, what, -99999999, 999999999);
}

std::chrono::nanoseconds frameInterval(double rate, const std::string& frame, unsigned baud, bool lineTime)
{
    auto interval = std::chrono::nanoseconds(static_cast<long long>(1e9 / rate));
    if (lineTime && baud > 0)
        interval = std::max(interval, std::chrono::nanoseconds(frame.size() * 10ull * 1000000000ull / baud));
    return interval;
}

}  // namespace

std::optional<QrvxOptions> takeQrvxOptions(int argc, char** argv, std::vector<char*>& rest)
{
    QrvxOptions options;
    bool wanted = false;
    std::string qrvxOption;
    std::string modbusOption;
    rest.assign(argv, argv + std::min(argc, 1));
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::invalid_argument(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--qrvx") {
            wanted = true;
            continue;
        }
        if (arg == "--rate")
            options.rate = fraction(value(), "--rate", 0.01, 1e6);
        else if (arg == "--value")
            options.signal.centre = frameValue(value(), "--value");
        else if (arg == "--swing")
            options.signal.swing = std::labs(frameValue(value(), "--swing"));
        else if (arg == "--counter")
            options.signal.counter = true;
        else if (arg == "--bad-lrc-share")
            options.badChecksumShare = fraction(value(), "--bad-lrc-share", 0.0, 1.0);
        else if (arg == "--command-char") {
            const std::string c = value();
            if (c.size() != 1)
                throw std::invalid_argument("--command-char takes one character: " + c);
            options.commandChar = c[0];
        } else {
            if (arg == "--device" || arg == "--turnaround-ms")
                modbusOption = arg;
            rest.push_back(argv[i]);
            // The values of the common options pass through untouched.
            if ((arg == "--dir" || arg == "--com" || arg == "--device" || arg == "--turnaround-ms") && i + 1 < argc)
                rest.push_back(argv[++i]);
            continue;
        }
        qrvxOption = arg;
    }
    if (!wanted && !qrvxOption.empty())
        throw std::invalid_argument(qrvxOption + " needs --qrvx");
    if (wanted && !modbusOption.empty())
        throw std::invalid_argument(modbusOption + " does not apply to --qrvx");
    if (!wanted)
        return std::nullopt;
    return options;
}

int runQrvxDevice(const SimOptions& common, const QrvxOptions& options, const volatile std::sig_atomic_t& stop)
{
    using Clock = QrvxDevice::Clock;
    QrvxDevice device(options.signal, options.badChecksumShare, options.commandChar);
    PtyLine line(common.folder, common.comNumber);
    std::printf("kl_sim: COM%d -> %s (QRVX device, %g frames/s)\n", common.comNumber, line.terminalPath().c_str(),
                options.rate);
    std::fflush(stdout);

    const auto start = Clock::now();
    auto due = start;
    while (!stop) {
        auto now = Clock::now();
        // A stalled simulator catches up with at most a second of frames.
        due = std::max(due, now - std::chrono::seconds(1));
        // Frames that have fallen due go out together, so that high rates
        // cost one write per wake-up rather than one wake-up per frame.
        const unsigned baud = line.lineBaud();
        std::string frames;
        while (due <= now) {
            const std::string frame = device.nextFrame(std::chrono::duration<double>(due - start).count());
            due += frameInterval(options.rate, frame, baud, common.timing.lineTime);
            frames += frame;
        }
        // Nobody reading the line (the port closed) must not block the
        // simulator: like a real line without a listener, it loses the frames.
        if (!frames.empty() && line.unreadByTerminal() < kUnreadLimit)
            line.write(frames);
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - Clock::now());
        const std::string chars = line.read(std::clamp(wait, std::chrono::milliseconds(0), QrvxDevice::kPacketGap));
        now = Clock::now();
        const std::string reply = device.receive(chars, now);
        if (!reply.empty())
            line.write(reply);
    }
    return 0;
}

}  // namespace sim
