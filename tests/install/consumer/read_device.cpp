// read_device PORT: reads the five measurement words of the pyrometer at
// address 1 on PORT with readWords, names its result and the time-out code
// with KCGetErrorTxt, and loads libqrvx.so by name as kl_s does at start-up.
#include <kcmb.h>
#include <platform/library.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: read_device PORT\n", stderr);
        return 2;
    }
    if (!KCInit()) {
        std::fputs("KCInit: no COM port\n", stderr);
        return 1;
    }
    HandleGuard port = KCOpenPort(argv[1], 5);
    if (!port) {
        std::fprintf(stderr, "KCOpenPort %s failed\n", argv[1]);
        return 1;
    }
    unsigned short words[5] = {};
    const int result = readWords(port.get(), 1, 256, words, 5);
    std::printf("readWords %d %s\n", result, KCGetErrorTxt(static_cast<unsigned short>(result)));
    std::printf("words %u %u %u %u %u\n", words[0], words[1], words[2], words[3], words[4]);
    std::printf("code 7: %s\n", KCGetErrorTxt(7));
    port.reset();
    KCClose();

    void* qrvx = platform::loadLibrary("libqrvx.so");
    const bool bound = platform::librarySymbol(qrvx, "QRVXOpenPort") != nullptr;
    std::printf("libqrvx.so %s\n", bound ? "loaded" : "not found");
    platform::freeLibrary(qrvx);
    return result == 0 && bound ? 0 : 1;
}
