// The graph window of a running main window, driven as a person drives it:
// the pointer over the plot, the context menu, the wheel and a drag on a
// ruler, the limits dialog on its key, printing to a PDF file, the text
// export and the close box.
#include "graph/limit_dlg.h"
#include "program_on_screen.h"
#include "window_twins.h"

#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>

namespace screen {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::waitFor;

const QString kTemperatureGraph = "-- График t, °C--";
const char* const kDemoDevice = "type=3,serial=2417,year=2023,verified=14052025";

std::string pdfText(const std::string& path)
{
    QProcess process;
    process.start(KL_PDFTOTEXT, {QString::fromStdString(path), "-"});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput()).simplified().toStdString();
}

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class GraphOnScreen : public ScreenTest {
protected:
    // kl_s connected to the simulated B3 pyrometer, its readings coming, and
    // its temperature graph open.
    void openLiveGraph()
    {
        startSimulator({kDemoDevice});
        ASSERT_NO_FATAL_FAILURE(startProgram());
        mainWindow = waitForMainWindow();
        ASSERT_NE(mainWindow, 0u);
        const QImage disconnected = grab(mainWindow);
        click(mainWindow, twin.centreOf("connectButton"));
        ASSERT_TRUE(waitForChange(mainWindow, disconnected, twin.placeOf("temperatureEdit"), 15s))
            << "no temperature shown";
        EXPECT_TRUE(waitFor([&] { return workFiles("KL").size() == 1; })) << "no result file";
        click(mainWindow, twin.centreOf("graphButton"));
        graphWindow = waitForWindow(pid(), kTemperatureGraph);
        ASSERT_NE(graphWindow, 0u);
        activate(graphWindow);
        graphTwin = std::make_unique<GraphTwin>(graph::GraphKind::Temperature, geometryOf(graphWindow).size());
    }

    // Another window of the program than those it shows now.
    WindowId waitForNewWindow(const std::vector<TopWindow>& before)
    {
        std::set<WindowId> known;
        for (const TopWindow& window : before)
            known.insert(window.id);
        WindowId found = 0;
        waitFor([&] {
            for (const TopWindow& window : windowsOf(pid()))
                if (known.count(window.id) == 0)
                    found = window.id;
            return found != 0;
        });
        return found;
    }

    // Opens the graph's context menu over the plot and picks `command`.
    void pickFromMenu(int command)
    {
        const std::vector<TopWindow> before = windowsOf(pid());
        click(graphWindow, graphTwin->view().center(), 3);
        ASSERT_NE(waitForNewWindow(before), 0u) << "no context menu";
        const int steps = graphTwin->menuSteps(command);
        ASSERT_GT(steps, 0);
        for (int k = 0; k < steps; ++k)
            key("Down");
        key("Return");
    }

    MainWindowTwin twin;
    std::unique_ptr<GraphTwin> graphTwin;
    WindowId mainWindow = 0;
    WindowId graphWindow = 0;
};

TEST_F(GraphOnScreen, TheLiveGraphTakesThePointerTheMenuTheWheelADragAndTheCloseBox)
{
    ASSERT_NO_FATAL_FAILURE(openLiveGraph());
    const QRect status = graphTwin->statusBar();
    const QImage beforeHover = grab(graphWindow);
    moveTo(graphWindow, graphTwin->view().center());
    EXPECT_TRUE(waitForChange(graphWindow, beforeHover, status)) << "the panes show nothing under the pointer";

    // The context menu opens under the pointer and Escape closes it.
    const std::vector<TopWindow> before = windowsOf(pid());
    click(graphWindow, graphTwin->view().center(), 3);
    EXPECT_NE(waitForNewWindow(before), 0u) << "no context menu";
    key("Escape");
    EXPECT_TRUE(waitFor([&] { return windowsOf(pid()).size() == before.size(); }));

    // The value window stays as it is while readings come; the wheel over
    // the temperature ruler narrows it and a drag along the ruler moves it.
    const QRect ruler = graphTwin->temperatureRuler();
    // The bar along the ruler's left edge, where a person grips it.
    const QPoint onRuler(ruler.left() + 6, ruler.center().y());
    const QImage beforeReading = grab(graphWindow);
    ASSERT_TRUE(waitForChange(graphWindow, beforeReading, graphTwin->view())) << "no reading in the plot";
    const QImage beforeWheel = grab(graphWindow);
    EXPECT_EQ(changedPixels(beforeReading, beforeWheel, ruler), 0);
    for (int turn = 0; turn < 10; ++turn)
        click(graphWindow, onRuler, 4, "ctrl");
    EXPECT_TRUE(waitForChange(graphWindow, beforeWheel, ruler)) << "Ctrl and the wheel did not narrow it";
    const QImage beforeTurn = grab(graphWindow);
    click(graphWindow, onRuler, 4);
    EXPECT_TRUE(waitForChange(graphWindow, beforeTurn, ruler)) << "the wheel did not move it";
    const QImage beforeDrag = grab(graphWindow);
    drag(graphWindow, onRuler, onRuler - QPoint(0, ruler.height() / 8));
    EXPECT_TRUE(waitForChange(graphWindow, beforeDrag, ruler)) << "the drag did not move the value window";

    // The limits dialog comes on its key; the value window typed into it is
    // the ruler's after OK.
    activate(graphWindow);
    key("ctrl+l");
    const WindowId limits = waitForWindow(pid(), "Пределы");
    ASSERT_NE(limits, 0u) << "no limits dialog";
    CLimitDlg limitsTwin;
    limitsTwin.setAttribute(Qt::WA_DontShowOnScreen);
    limitsTwin.show();
    const QImage beforeLimits = grab(graphWindow);
    for (const auto& [field, value] : {std::pair{"winMaxEdit", "700"}, std::pair{"winMinEdit", "500"}}) {
        click(limits, placeOf(limitsTwin, field).center());
        key("ctrl+a");
        type(value);
    }
    click(limits, placeOf(limitsTwin, "okButton").center());
    EXPECT_TRUE(waitForNoWindow(pid(), "Пределы"));
    EXPECT_TRUE(waitForChange(graphWindow, beforeLimits, ruler)) << "the typed window did not reach the ruler";

    // The close box hides the window; the program goes on.
    clickCloseBox(graphWindow);
    EXPECT_TRUE(waitForNoWindow(pid(), kTemperatureGraph)) << "the close box did nothing";
    EXPECT_FALSE(iconified(graphWindow)) << "hidden, not minimized";
    EXPECT_FALSE(program_->wait(0ms).has_value());
    EXPECT_TRUE(quitThroughTheQuestion(mainWindow));
}

TEST_F(GraphOnScreen, PrintsThePageToAPdfFileWithoutAPrinterQueueAndExportsTheSeriesAsText)
{
    ASSERT_NO_FATAL_FAILURE(openLiveGraph());
    ASSERT_NO_FATAL_FAILURE(pickFromMenu(CGraphWnd::ID_GRAPH_PRINT));
    const WindowId dialog = waitForWindow(pid(), "Печать");
    ASSERT_NE(dialog, 0u) << "no print dialog";
    // The dialog starts on a PDF file in the working folder.
    activate(dialog);
    key("Return");
    std::string text;
    EXPECT_TRUE(waitFor([&] { return !(text = pdfText(workFile("KL_S.pdf"))).empty(); }, 20s));
    EXPECT_NE(text.find("Зав. № 2417"), std::string::npos) << text;
    EXPECT_NE(text.find("Температура, °C"), std::string::npos) << text;

    const std::vector<TopWindow> before = windowsOf(pid());
    ASSERT_NO_FATAL_FAILURE(pickFromMenu(CGraphWnd::ID_GRAPH_SAVE));
    const WindowId saveDialog = waitForNewWindow(before);
    ASSERT_NE(saveDialog, 0u) << "no file dialog";
    activate(saveDialog);
    key("ctrl+a");
    type(workFile("series.txt"));
    key("Return");
    EXPECT_TRUE(waitFor([&] {
        const std::vector<TopWindow> now = windowsOf(pid());
        return std::none_of(now.begin(), now.end(), [&](const TopWindow& w) { return w.id == saveDialog; });
    })) << "the file dialog stays";
    // One line per reading: "hh:mm:ss.mmm temperature emissivity", the
    // B3's emissivity 1.00.
    const QString lines = QString::fromStdString(fileText(workFile("series.txt")));
    const QRegularExpression reading("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\d+ 1\\.00\r$",
                                     QRegularExpression::MultilineOption);
    const qsizetype written = lines.count('\n');
    EXPECT_GE(written, 3) << lines.toStdString();
    EXPECT_EQ(lines.count(reading), written) << "every line a reading:\n" << lines.toStdString();
    EXPECT_TRUE(quitThroughTheQuestion(mainWindow));
}

}  // namespace
}  // namespace screen
