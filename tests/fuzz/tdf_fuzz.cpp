// The .tdf reader with arbitrary files: every file it accepts is saved again,
// and the saved file must read back to the same series.
#include <kcmb.h>

#include "platform/message_box.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace fs = std::filesystem;

namespace {

fs::path g_dir;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void clearFolder()
{
    for (const auto& entry : fs::directory_iterator(g_dir))
        fs::remove_all(entry.path());
}

bool sameDevice(const v2DeviceInfo& a, const v2DeviceInfo& b)
{
    return a.address == b.address && a.tempMin == b.tempMin && a.tempMax == b.tempMax && a.reg2 == b.reg2
        && a.sensor == b.sensor && a.type == b.type && std::memcmp(a.serial, b.serial, sizeof a.serial) == 0
        && std::memcmp(a.year, b.year, sizeof a.year) == 0
        && std::memcmp(a.verifyDate, b.verifyDate, sizeof a.verifyDate) == 0 && a.variant == b.variant;
}

bool sameRecord(const v4TermData& a, const v4TermData& b)
{
    return a.time == b.time && a.temperature == b.temperature && a.emissivity == b.emissivity
        && a.quantum == b.quantum;
}

bool sameSeries(TermDataFile& a, TermDataFile& b)
{
    if (a.GetCount() != b.GetCount())
        return false;
    if (std::memcmp(a.GetBeginTime(), b.GetBeginTime(), sizeof(platform::SystemTime)) != 0)
        return false;
    if (!sameDevice(*a.GetDeviceInfo(), *b.GetDeviceInfo()))
        return false;
    for (long i = 0; i < a.GetCount(); ++i)
        if (!sameRecord(a.GetTermData()[i], b.GetTermData()[i]))
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    platform::setMessageBoxService([](const platform::MessageRequest&) { return platform::MessageAnswer::Ok; });
    g_dir = fs::temp_directory_path() / ("kl_tdf_fuzz_" + std::to_string(::getpid()));
    fs::create_directories(g_dir);
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(g_dir, ignored);
    });
    fs::current_path(g_dir);
    ::setenv("XDG_DOCUMENTS_DIR", g_dir.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    clearFolder();
    const fs::path input = g_dir / "input.bin";
    {
        std::ofstream out(input, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    auto series = std::make_unique<TermDataFile>();
    series->Clear();
    if (!series->Read(input.c_str()))
        return 0;
    require(series->GetCount() >= 0 && series->GetCount() <= TermDataFile::kMaxCount);
    fs::remove(input);
    if (!series->Save())
        return 0;
    fs::path saved;
    for (const auto& entry : fs::recursive_directory_iterator(g_dir))
        if (entry.is_regular_file() && entry.path().extension() == ".tdf")
            saved = entry.path();
    require(!saved.empty());
    auto again = std::make_unique<TermDataFile>();
    again->Clear();
    require(again->Read(saved.c_str()));
    require(sameSeries(*series, *again));
    return 0;
}
