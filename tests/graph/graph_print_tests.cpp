// Printing the graph and saving the series from the graph window, headless:
// the print dialog answered with a printer writing a PDF file, whose text
// pdftotext reads back; the save dialog answered with a path.
#include "services/file_dialogs.h"
#include "graph/graph_wnd.h"
#include "services/print_dialogs.h"
#include "test_support.h"
#include "services/window_messages.h"

#include <rangebar.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace {

using graph::GraphKind;

// Answers print dialogs with PDF printers writing the next file of a list,
// or as told; installed for its scope.
class ScriptedPrinters {
public:
    ScriptedPrinters()
    {
        previous_ = setPrintDialogService([this](const PrintDialogRequest&) {
            ++asked;
            PrintDialogAnswer answer;
            answer.result = result;
            if (result == PrintDialogAnswer::Result::Accepted) {
                answer.printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
                answer.printer->setOutputFormat(QPrinter::PdfFormat);
                answer.printer->setPageSize(QPageSize(QPageSize::A4));
                answer.printer->setOutputFileName(QString::fromStdString(files.at(next++)));
            }
            return answer;
        });
    }
    ~ScriptedPrinters() { setPrintDialogService(previous_); }

    PrintDialogAnswer::Result result = PrintDialogAnswer::Result::Accepted;
    std::vector<std::string> files;
    std::size_t next = 0;
    int asked = 0;

private:
    PrintDialogService previous_;
};

// Answers file dialogs with a path (or a cancel) and keeps the request.
class ScriptedFileDialog {
public:
    ScriptedFileDialog()
    {
        previous_ = setFileDialogService([this](const FileDialogRequest& request) -> std::optional<QString> {
            requests.push_back(request);
            return answer;
        });
    }
    ~ScriptedFileDialog() { setFileDialogService(previous_); }

    std::optional<QString> answer;
    std::vector<FileDialogRequest> requests;

private:
    FileDialogService previous_;
};

std::string pdfText(const std::string& path)
{
    QProcess process;
    process.start(KL_PDFTOTEXT, {QString::fromStdString(path), "-"});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return "pdftotext failed: " + process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput()).simplified().toStdString();
}

std::string pdfTitle(const std::string& path)
{
    QProcess process;
    process.start(KL_PDFINFO, {QString::fromStdString(path)});
    process.waitForFinished(30000);
    for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split('\n'))
        if (line.startsWith("Title:"))
            return line.mid(6).trimmed().toStdString();
    return {};
}

// The page rendered at 50 dots per inch.
QImage pdfImage(const std::string& path)
{
    QProcess process;
    process.start(KL_PDFTOPPM, {"-r", "50", "-png", "-singlefile", QString::fromStdString(path),
                                QString::fromStdString(path + "-page")});
    process.waitForFinished(30000);
    return QImage(QString::fromStdString(path + "-page.png"));
}

int redPixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.red() > 200 && c.green() < 90 && c.blue() < 90;
        }
    return count;
}

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class GraphPrintTest : public ::testing::Test {
protected:
    // A temperature graph of a B3-like device's series: 20 s of readings
    // every 100 ms around 800 °C, begun `day`.`month`.2024 at `hour`:`minute`:`second`.
    void open(GraphKind kind, unsigned short day, unsigned short hour, unsigned short minute, unsigned short second)
    {
        const platform::SystemTime begin{2024, 3, 0, day, hour, minute, second, 0};
        series.SetBeginTime(&begin);
        v2DeviceInfo device;
        std::memset(&device, 0, sizeof device);
        device.type = 3;
        std::memcpy(device.serial, "01234", 5);
        device.tempMin = 300;
        device.tempMax = 1200;
        series.SetDeviceInfo(&device);
        for (long t = 100; t <= 20000; t += 100)
            series.Add(t, 790 + (t / 100) % 20, 95, 31000);
        wnd = std::make_unique<CGraphWnd>(kind);
        wnd->resize(600, 400);
        wnd->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(wnd.get()));
        sendMessage(wnd.get(), WM_GRAPH_SETDATA, makeWordPair(300, 1200), reinterpret_cast<std::intptr_t>(&series));
        wnd->timeRuler()->SetMin(0);
        wnd->temperatureRuler()->SetWinMax(900);
        wnd->temperatureRuler()->SetWinMin(700);
    }

    bool waitForJobs()
    {
        return QTest::qWaitFor([this] { return wnd->printJobsRunning() == 0; }, 30000);
    }

    testing_support::TempDir dir;
    testing_support::ScriptedMessageBoxes boxes;
    ScriptedPrinters printers;
    TermDataFile series;
    std::unique_ptr<CGraphWnd> wnd;
};

TEST_F(GraphPrintTest, ThePageShowsTheHeaderTheAxisLabelsAndTitles)
{
    open(GraphKind::Temperature, 7, 9, 5, 0);
    printers.files = {dir.file("page.pdf")};
    wnd->commandAction(CGraphWnd::ID_GRAPH_PRINT)->trigger();
    ASSERT_TRUE(waitForJobs());
    const std::string text = pdfText(dir.file("page.pdf"));
    for (const std::string& expected :
         {std::string(getDeviceName(3)), std::string("Зав. № 01234"), std::string("Температурный диапазон"),
          std::string("300...1200 °C"), std::string("7.3.2024 9:5:0.100 - 9:5:20.000"),
          std::string("Степень черноты 0.95"),
          // 20 °C steps, labelled by the temperature ruler's format.
          std::string("700.00"), std::string("720.00"), std::string("880.00"), std::string("Время"),
          std::string("Температура, °C")})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " in: " << text;
    // Time lines every 2500 ms (about 0.23 mm per 10 ms), labelled in seconds by
    // the time ruler's format; a line's label is the time at its place on
    // paper, a few ms short of the step's multiple after the step was cut to
    // whole 0.1 mm.
    const QString labels = QString::fromStdString(text).remove("черноты 0.95");
    std::vector<double> seconds;
    for (const QString& word : labels.split(' '))
        if (QRegularExpression("^\\d{1,2}\\.\\d\\d$").match(word).hasMatch())
            seconds.push_back(word.toDouble());
    ASSERT_EQ(seconds.size(), 9u) << text;  // 0 ... 20 s, the last line inside the plot
    for (std::size_t k = 0; k < seconds.size(); ++k)
        EXPECT_NEAR(seconds[k], 2.5 * k, 0.03) << k;
    EXPECT_EQ(pdfTitle(dir.file("page.pdf")), "KL_S печать графика");
    EXPECT_TRUE(boxes.shown().empty());
    const QImage page = pdfImage(dir.file("page.pdf"));
    EXPECT_NEAR(page.width(), 413, 1) << "A4 at 50 dpi";
    EXPECT_NEAR(page.height(), 585, 1);
    EXPECT_GT(redPixels(page), 300) << "the series, 0.3 mm wide across the plot";
}

TEST_F(GraphPrintTest, ASpanAcrossMidnightPrintsBothDates)
{
    open(GraphKind::Temperature, 7, 23, 59, 50);
    printers.files = {dir.file("night.pdf")};
    wnd->printGraph();
    ASSERT_TRUE(waitForJobs());
    const std::string text = pdfText(dir.file("night.pdf"));
    EXPECT_NE(text.find("7.3.2024 23:59:50.100 - 8.3.2024 0:0:10.000"), std::string::npos) << text;
}

TEST_F(GraphPrintTest, NoPrinterIsReportedAndCancelDoesNothing)
{
    open(GraphKind::Temperature, 7, 9, 5, 0);
    printers.result = PrintDialogAnswer::Result::NoPrinter;
    wnd->printGraph();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, "Не установлен принтер");
    EXPECT_EQ(boxes.shown()[0].caption, "Ошибка");
    EXPECT_EQ(boxes.shown()[0].icon, platform::MessageIcon::Warning);
    printers.result = PrintDialogAnswer::Result::Cancelled;
    wnd->printGraph();
    EXPECT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(wnd->printJobsRunning(), 0);
    EXPECT_EQ(printers.asked, 2);
}

// Qt's own print dialog on a machine without a printer queue starts on a PDF
// file in the working folder; accepted as it opens, the page goes there.
TEST_F(GraphPrintTest, WithoutAPrinterQueueTheDialogPrintsThePageToAPdfFile)
{
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        GTEST_SKIP() << "this machine has printer queues";
    open(GraphKind::Temperature, 7, 9, 5, 0);
    const PrintDialogService scripted = setPrintDialogService({});
    const QString workingFolder = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir.path())));
    QString offered;
    QTimer acceptor;
    QObject::connect(&acceptor, &QTimer::timeout, [&offered] {
        if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
            offered = dialog->printer()->outputFileName();
            dialog->accept();
        }
    });
    acceptor.start(20);
    wnd->commandAction(CGraphWnd::ID_GRAPH_PRINT)->trigger();
    acceptor.stop();
    QDir::setCurrent(workingFolder);
    setPrintDialogService(scripted);
    ASSERT_TRUE(waitForJobs());
    EXPECT_EQ(offered.toStdString(), dir.file("KL_S.pdf"));
    EXPECT_TRUE(boxes.shown().empty()) << boxes.texts().front();
    const std::string text = pdfText(dir.file("KL_S.pdf"));
    EXPECT_NE(text.find("7.3.2024 9:5:0.100 - 9:5:20.000"), std::string::npos) << text;
    EXPECT_NE(text.find("Температура, °C"), std::string::npos) << text;
}

TEST_F(GraphPrintTest, ASecondCommandWhileAJobRunsGetsAPageOfItsOwn)
{
    open(GraphKind::Temperature, 7, 9, 5, 0);
    printers.files = {dir.file("first.pdf"), dir.file("second.pdf")};
    wnd->timeRuler()->SetWinMax(10000);
    wnd->printGraph();
    wnd->timeRuler()->SetWinMax(20000);
    wnd->timeRuler()->SetWinMin(10000);
    wnd->temperatureRuler()->SetWinMin(600);
    wnd->printGraph();
    ASSERT_TRUE(waitForJobs());
    const std::string first = pdfText(dir.file("first.pdf"));
    const std::string second = pdfText(dir.file("second.pdf"));
    EXPECT_NE(first.find("9:5:0.100 - 9:5:10.100"), std::string::npos) << first;
    EXPECT_NE(first.find("700.00"), std::string::npos) << first;
    EXPECT_EQ(first.find("600.00"), std::string::npos) << first;
    EXPECT_NE(second.find("9:5:0.100 - 9:5:20.000"), std::string::npos) << second;
    EXPECT_NE(second.find("10.00"), std::string::npos) << second;
    EXPECT_EQ(second.find(" 0.00"), std::string::npos) << second;
    EXPECT_NE(second.find("600.00"), std::string::npos) << second;
}

TEST_F(GraphPrintTest, ReadingsArrivingDuringAJobLeaveItsPageAsItWasCommanded)
{
    open(GraphKind::Temperature, 7, 9, 5, 0);
    printers.files = {dir.file("live.pdf")};
    wnd->printGraph();
    // The owner goes on adding readings on this thread while the job prints.
    long t = 20000;
    int added = 0;
    while (wnd->printJobsRunning() > 0 || added < 50) {
        t += 100;
        if (series.Add(t, 850, 97, 31000) != nullptr)
            ++added;
        postMessage(wnd.get(), WM_GRAPH_NEWVALUE, 850, t);
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(waitForJobs());
    const std::string text = pdfText(dir.file("live.pdf"));
    EXPECT_NE(text.find("9:5:0.100 - 9:5:20.000"), std::string::npos) << text;
    EXPECT_NE(text.find("Степень черноты 0.95"), std::string::npos) << "no 0.97 of the later readings: " << text;
    EXPECT_GT(wnd->timeRuler()->GetMax(), 20000) << "the window followed the readings meanwhile";
}

TEST_F(GraphPrintTest, ClosingTheWindowWaitsForItsJob)
{
    open(GraphKind::Temperature, 7, 9, 5, 0);
    printers.files = {dir.file("closed.pdf")};
    wnd->printGraph();
    wnd.reset();
    EXPECT_NE(pdfText(dir.file("closed.pdf")).find("Зав. № 01234"), std::string::npos);
}

TEST_F(GraphPrintTest, SaveWritesTheWholeSeriesOfEitherKind)
{
    open(GraphKind::Quantum, 7, 9, 5, 0);
    wnd->timeRuler()->SetWinMin(15000);
    ScriptedFileDialog files;
    files.answer = QString::fromStdString(dir.file("series.log"));
    wnd->commandAction(CGraphWnd::ID_GRAPH_SAVE)->trigger();
    ASSERT_EQ(files.requests.size(), 1u);
    const FileDialogRequest& request = files.requests[0];
    EXPECT_EQ(request.kind, FileDialogRequest::Kind::Save);
    EXPECT_EQ(request.fileName, "kl_s_log");
    EXPECT_EQ(request.defaultSuffix, "log");
    EXPECT_EQ(request.filter, "Log Files (*.log)|*.log|All Files (*.*)|*.*||");
    EXPECT_EQ(request.parent, wnd.get());
    const std::string text = fileText(dir.file("series.log"));
    EXPECT_EQ(text.substr(0, 29), "09:05:00.100 791 31000 0.95\r\n") << "from the first record, whatever the window";
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 200);
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(wnd->statusBar()->currentMessage(), "Данные сохранены в файл " + *files.answer);
}

TEST_F(GraphPrintTest, SavingToAnUnwritablePlaceIsReportedCancelWritesNothing)
{
    open(GraphKind::Temperature, 7, 9, 5, 0);
    ScriptedFileDialog files;
    files.answer = QString::fromStdString(dir.file("missing/series.log"));
    wnd->saveSeriesAsText();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, "Ошибка открытия файла");
    EXPECT_EQ(boxes.shown()[0].caption, "Сохранение результатов");
    EXPECT_EQ(boxes.shown()[0].icon, platform::MessageIcon::Error);
    EXPECT_EQ(wnd->statusBar()->currentMessage(), "") << "nothing was written";
    files.answer.reset();
    wnd->saveSeriesAsText();
    EXPECT_EQ(boxes.shown().size(), 1u);
}

// Files of this process may grow to `bytes` at most for the scope, as on a
// disk that is full: a write beyond fails instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : previousSignal_(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousSignal_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*previousSignal_)(int);
};

TEST_F(GraphPrintTest, AFullDiskIsReportedAndLeavesNoPartialFileUnderTheName)
{
    open(GraphKind::Quantum, 7, 9, 5, 0);
    ScriptedFileDialog files;
    files.answer = QString::fromStdString(dir.file("series.log"));
    {
        FileSizeLimit full(2048);
        wnd->saveSeriesAsText();
    }
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, "Ошибка записи файла");
    EXPECT_EQ(boxes.shown()[0].caption, "Сохранение результатов");
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ADD_FAILURE() << "left behind: " << entry.path();

    std::ofstream(dir.file("series.log")) << "old";
    {
        FileSizeLimit full(2048);
        wnd->saveSeriesAsText();
    }
    EXPECT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(fileText(dir.file("series.log")), "old") << "an old file stays as it was";
}

}  // namespace
