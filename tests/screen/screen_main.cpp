// The tests through the window system: an X server with a window manager of
// their own, and a QApplication on it that lays out twins of the program's
// windows (to know where their controls are) and takes pictures of the
// program's windows.
#include "x_session.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    screen::XSession session;
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
