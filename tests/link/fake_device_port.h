// A port onto an in-memory line whose far end is played by the test: it opens
// COM3 through the port table and lets the test answer each request frame.
#pragma once

#include <kcmb.h>

#include "platform/fake_serial_port.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace link_testing {

using Bytes = std::string;

// The line frame of `bytes` with their LRC.
inline std::string frameOf(const Bytes& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string line = ":";
    unsigned sum = 0;
    for (unsigned char b : bytes)
        sum += b;
    const Bytes withLrc = bytes + static_cast<char>(-sum & 0xFF);
    for (unsigned char b : withLrc) {
        line += digits[b >> 4];
        line += digits[b & 15];
    }
    return line + "\r\n";
}

// The request bytes (LRC dropped) of every frame in `written`.
inline std::vector<Bytes> requestsIn(const std::string& written)
{
    std::vector<Bytes> requests;
    std::size_t pos = 0;
    while ((pos = written.find(':', pos)) != std::string::npos) {
        const std::size_t end = written.find("\r\n", pos);
        if (end == std::string::npos)
            break;
        Bytes bytes;
        for (std::size_t i = pos + 1; i + 1 < end; i += 2)
            bytes += static_cast<char>(std::stoi(written.substr(i, 2), nullptr, 16));
        if (!bytes.empty())
            bytes.pop_back();
        requests.push_back(bytes);
        pos = end;
    }
    return requests;
}

class FakePortTest : public ::testing::Test {
protected:
    // Answers each request with the bytes `device` gives (framed with their
    // LRC), or stays silent when it gives none.
    using Device = std::function<Bytes(const Bytes& request)>;

    void SetUp() override
    {
        platform::registerFakeDevice("COM3", line);
        ASSERT_TRUE(KCInit());
        HandleGuard guard = KCOpenPort("COM3", 5);
        ASSERT_TRUE(platform::isUsableHandle(guard.get()));
        port = guard.release();
        KCSetTimeOut(port, 50);
    }
    void TearDown() override
    {
        KCClosePort(port);
        KCClose();
        platform::unregisterFakeDevice("COM3");
    }

    void playDevice(Device device)
    {
        line->setResponder([device = std::move(device)](std::string& pending) {
            std::string out;
            std::size_t lf;
            while ((lf = pending.find('\n')) != std::string::npos) {
                const auto requests = requestsIn(pending.substr(0, lf + 1));
                pending.erase(0, lf + 1);
                if (requests.empty())
                    continue;
                const Bytes reply = device(requests.front());
                if (!reply.empty())
                    out += frameOf(reply);
            }
            return out;
        });
    }

    std::vector<Bytes> requests() const { return requestsIn(line->written()); }

    testing_support::TempDir dir;
    testing_support::ScopedEnv env{"KL_DEVICE_DIR", dir.path()};
    std::shared_ptr<platform::FakeLine> line = std::make_shared<platform::FakeLine>();
    void* port = nullptr;
};

}  // namespace link_testing
