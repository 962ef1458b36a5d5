// Run by the tuning tests as a process of its own: reports the tuning the
// library read when it was loaded. It points the configuration at a folder
// without a file, so that the read at the start of QRVXWriteZero finds
// nothing and the values from the load stay; the refused call then logs its
// header (with ZeroWaitTime) in the folder given as the argument.
#include <qrvx.h>

#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 2 || ::chdir(argv[1]) != 0)
        return 2;
    ::setenv("KL_SYSTEM_CONFIG_DIR", "/nonexistent-kl-config", 1);
    return QRVXWriteZero(nullptr, nullptr, 0) ? 1 : 0;
}
