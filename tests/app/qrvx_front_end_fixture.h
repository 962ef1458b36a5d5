// What the QRVX session and window tests share: a work folder that is both the
// current directory and the device folder, the library loaded by name as the
// program loads it, scripted message boxes and kl_sim --qrvx on COM1.
#pragma once

#include "test_support.h"

#include "platform/library.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class QrvxFrontEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previousDir = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(work.path()));
        module = platform::loadLibrary(KL_QRVX_PATH);
        ASSERT_NE(module, nullptr);
    }

    // A derived fixture releases its session or window first, then calls this.
    void TearDown() override
    {
        sim.reset();
        platform::freeLibrary(module);
        QDir::setCurrent(previousDir);
    }

    void startSim(std::vector<std::string> args)
    {
        args.insert(args.begin(), "--qrvx");
        sim = std::make_unique<testing_support::SimProcess>(work.path(), args, 1);
    }

    testing_support::TempDir work;
    testing_support::ScopedEnv devices{"KL_DEVICE_DIR", work.path()};
    QString previousDir;
    testing_support::ScriptedMessageBoxes boxes;
    void* module = nullptr;
    std::unique_ptr<testing_support::SimProcess> sim;
};
