// A termios port opened on a pseudo-terminal that the test plays as the far
// end, with the line settings read and written back once as the program does.
#pragma once

#include "platform/serial.h"
#include "test_support.h"

#include <gtest/gtest.h>

class PtyPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        port = platform::openSerialPort(peer.terminalPath().c_str());
        ASSERT_TRUE(platform::isUsableHandle(port));
        platform::LineSettings s;
        ASSERT_TRUE(platform::getLineSettings(port, s));
        ASSERT_TRUE(platform::setLineSettings(port, s));
    }
    void TearDown() override { platform::closeHandle(port); }

    testing_support::TempDir dir;
    testing_support::PtyPeer peer{dir.path(), 1};
    platform::Handle port = nullptr;
};
