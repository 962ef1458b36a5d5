// kl_poll: an unattended logger of one pyrometer. It opens a port, prints the
// identification of the device, polls it as the program does and logs every
// reading (a line on standard output, a result file, a CSV file) until it is
// interrupted (SIGINT, SIGTERM) or has logged --count readings; then it saves
// and ends. Link errors are said on standard error and polling goes on.
#include "poll_loop.h"
#include "poll_options.h"
#include "reading_outputs.h"
#include "stop_signals.h"

#include <kcmb.h>

#include "platform/message_box.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

// The library's messages (a result file that cannot be written) go to
// standard error as one line each.
void sayMessagesOnStandardError()
{
    platform::setMessageBoxService([](const platform::MessageRequest& request) {
        std::fprintf(stderr, "kl_poll: %s: %s\n", request.caption.c_str(), request.text.c_str());
        return platform::MessageAnswer::Ok;
    });
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args)
        if (arg == "-h" || arg == "--help") {
            std::fputs(tools::kPollUsage, stdout);
            return 0;
        }
    std::string error;
    const std::optional<tools::PollOptions> options = tools::parsePollOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "kl_poll: %s\n%s", error.c_str(), tools::kPollUsage);
        return kUsage;
    }
    // Before anything else, so that no thread of the library takes the signals.
    tools::StopSignals stop;
    sayMessagesOnStandardError();

    tools::ReadingOutputs outputs(*options, options->port);
    if (!outputs.open(error)) {
        std::fprintf(stderr, "kl_poll: %s\n", error.c_str());
        return kFailed;
    }
    if (!KCInit()) {
        std::fprintf(stderr, "kl_poll: нет ни одного COM-порта\n");
        outputs.finish();
        return kFailed;
    }
    HandleGuard guard = KCOpenPort(options->port.c_str(), static_cast<char>(options->baudCode));
    if (!platform::isUsableHandle(guard.get())) {
        std::fprintf(stderr, "kl_poll: не удаётся открыть порт %s\n", options->port.c_str());
        KCClose();
        outputs.finish();
        return kFailed;
    }
    void* port = guard.release();
    KCSetTimeOut(port, options->timeoutMs);

    tools::PollLoop loop(port, *options, outputs, stop);
    loop.run();
    KCClosePort(port);
    KCClose();
    const bool saved = outputs.finish();
    std::fprintf(stderr, "kl_poll: показаний: %ld, ошибок обмена: %ld\n", loop.readings(), loop.failures());
    return saved ? 0 : kFailed;
}
