// The main windows as a person meets them: the settings sheet with OK and
// with Cancel, the quit question answered No and then Yes, the QRVX window
// with its graph, and the device search.
#include "program_on_screen.h"
#include "window_twins.h"

#include "platform/library.h"

#include <rangebar.h>

namespace screen {
namespace {

using namespace std::chrono_literals;
using testing_support::waitFor;

const char* const kDemoDevice = "type=3,serial=2417,year=2023,verified=14052025";

class MainWindowOnScreen : public ScreenTest {
protected:
    // Opens the settings sheet, types `seconds` as the graph's span on the
    // page "Программа" and closes the sheet with `closingKey`.
    void editGraphSpan(WindowId mainWindow, const std::string& seconds, const std::string& closingKey)
    {
        activate(mainWindow);
        click(mainWindow, twin.centreOf("settingsButton"));
        const WindowId sheet = waitForWindow(pid(), "Установки");
        ASSERT_NE(sheet, 0u) << "no settings sheet";
        click(sheet, sheetTwin.tabCentre("Программа"));
        click(sheet, sheetTwin.centreOf("graphSpanEdit", "Программа"));
        key("ctrl+a");
        type(seconds);
        key(closingKey);
        EXPECT_TRUE(waitForNoWindow(pid(), "Установки")) << closingKey << " left the sheet open";
    }

    MainWindowTwin twin;
    SettingsSheetTwin sheetTwin;
};

TEST_F(MainWindowOnScreen, TheSettingsSheetKeepsWhatOkTakesAndForgetsWhatCancelDrops)
{
    startSimulator({kDemoDevice});
    ASSERT_NO_FATAL_FAILURE(startProgram());
    const WindowId mainWindow = waitForMainWindow();
    ASSERT_NE(mainWindow, 0u);
    ASSERT_NO_FATAL_FAILURE(editGraphSpan(mainWindow, "9", "Return"));
    ASSERT_NO_FATAL_FAILURE(editGraphSpan(mainWindow, "7", "Escape"));

    // No to the quit question leaves the program running; Yes ends it and
    // the settings are written then.
    activate(mainWindow);
    key("Escape");
    WindowId question = waitForWindow(pid(), "Завершение работы");
    ASSERT_NE(question, 0u) << "no quit question";
    activate(question);
    key("Tab");
    key("space");
    EXPECT_TRUE(waitForNoWindow(pid(), "Завершение работы"));
    EXPECT_FALSE(program_->wait(0ms).has_value()) << "No ended the program";
    EXPECT_FALSE(storedSettings().contains("TimeCoeff"));
    ASSERT_TRUE(quitThroughTheQuestion(mainWindow));
    EXPECT_EQ(storedSettings().value("TimeCoeff").toInt(), 9000);
}

TEST_F(MainWindowOnScreen, TheQrvxWindowShowsTheStreamAndItsGraphTakesThePointer)
{
    startSimulator({}, 1, {"--qrvx", "--rate", "20", "--value", "1234", "--swing", "0"});
    ASSERT_NO_FATAL_FAILURE(startProgram(Protocol::Qrvx));
    const WindowId qrvxWindow = waitForMainWindow();
    ASSERT_NE(qrvxWindow, 0u) << "no QRVX window";
    activate(qrvxWindow);

    void* module = platform::loadLibrary(KL_QRVX_DIR "/libqrvx.so");
    ASSERT_NE(module, nullptr);
    {
        QrvxWindowTwin twin(module);
        const QImage idle = grab(qrvxWindow);
        click(qrvxWindow, twin.centreOf("connectButton"));
        EXPECT_TRUE(waitForChange(qrvxWindow, idle, twin.placeOf("temperatureEdit"), 10s)) << "no reading shown";
        click(qrvxWindow, twin.centreOf("graphButton"));
    }
    platform::freeLibrary(module);
    const WindowId graphWindow = waitForWindow(pid(), "-- График --");
    ASSERT_NE(graphWindow, 0u) << "no graph window";
    activate(graphWindow);
    const GraphTwin graphTwin(graph::GraphKind::Temperature, geometryOf(graphWindow).size());
    const QImage beforeHover = grab(graphWindow);
    moveTo(graphWindow, graphTwin.view().center());
    EXPECT_TRUE(waitForChange(graphWindow, beforeHover, graphTwin.statusBar())) << "the panes show nothing";
    activate(graphWindow);
    key("ctrl+l");
    EXPECT_NE(waitForWindow(pid(), "Пределы"), 0u) << "no limits dialog";
    key("Escape");
    EXPECT_TRUE(waitForNoWindow(pid(), "Пределы"));
    EXPECT_TRUE(quitThroughTheQuestion(qrvxWindow));
}

// Three devices at three speeds share the line; the quick search lists each
// as it finds it, the slower speeds first. The search is stopped once the
// third is listed (the rest of a whole quick search finds nothing more).
TEST_F(MainWindowOnScreen, TheQuickSearchFindsThreeDevicesOnTheLine)
{
    startSimulator({"type=3,address=5,baud=3", "type=3,address=2,baud=4", "type=3,address=1,baud=5"});
    ASSERT_NO_FATAL_FAILURE(startProgram());
    const WindowId mainWindow = waitForMainWindow();
    ASSERT_NE(mainWindow, 0u);
    click(mainWindow, twin.centreOf("settingsButton"));
    const WindowId sheet = waitForWindow(pid(), "Установки");
    ASSERT_NE(sheet, 0u) << "no settings sheet";
    click(sheet, sheetTwin.tabCentre("Связь"));
    click(sheet, sheetTwin.centreOf("searchButton", "Связь"));
    const WindowId search = waitForWindow(pid(), "Поиск прибора");
    ASSERT_NE(search, 0u) << "no search dialog";

    const DeviceFindTwin findTwin;
    // The box toggles on its square and its text, at the left of its row.
    const QRect quick = findTwin.placeOf("quickCheck");
    if (!findTwin.quickSearchChecked())
        click(search, QPoint(quick.left() + 8, quick.center().y()));
    const QRect list = findTwin.placeOf("foundList").adjusted(3, 3, -3, -3);
    EXPECT_EQ(textLines(grab(search), list), 0);
    click(search, findTwin.centreOf("searchButton"));
    int found = 0;
    EXPECT_TRUE(waitForPicture(
        search, [&](const QImage& picture) { return (found = textLines(picture, list)) >= 3; }, 170s))
        << found << " devices listed";
    click(search, findTwin.centreOf("searchButton"));
    EXPECT_EQ(textLines(grab(search), list), 3);
    key("Escape");
    EXPECT_TRUE(waitForNoWindow(pid(), "Поиск прибора"));
    activate(sheet);
    key("Escape");
    EXPECT_TRUE(waitForNoWindow(pid(), "Установки"));
    EXPECT_TRUE(quitThroughTheQuestion(mainWindow));
}

}  // namespace
}  // namespace screen
