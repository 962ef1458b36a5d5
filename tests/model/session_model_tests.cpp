// Random sequences of what an operator and the line do, run against the real
// Modbus main window (offscreen) and its session on a simulated pyrometer,
// held against a model of the device's words, the session and the files.
// KL_MODEL_SEQUENCES sets how many sequences run (a few by default).
#include "model_check.h"

#include "session/device_session.h"
#include "services/file_dialogs.h"
#include "windows/kctest_dlg.h"

#include "../app/simulated_line.h"

#include <rapidcheck/gtest.h>
#include <rapidcheck/state.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <optional>

namespace {

using std::chrono::milliseconds;
using Words = std::array<unsigned short, 3>;  // mode, emissivity, smoothing

// What a command may take at most before it has returned to the operator.
constexpr milliseconds kCommandBound(5000);
// Periods far enough apart that one is never taken for another, even when
// a loaded machine stretches the gaps.
constexpr int kPeriods[] = {30, 150, 600};

struct Model {
    bool connected = false;
    bool adapter = true;
    bool silent = false;
    // Which of the two devices is on the port, and their words.
    int device = 0;
    std::array<Words, 2> words{{{1, 85, 3}, {0, 95, 1}}};
    // Settings confirmed while the port was away.
    std::optional<Words> pending;
    int periodMs = 150;
};

std::string deviceKeys(const Model& m, int device)
{
    const Words& w = m.words[static_cast<std::size_t>(device)];
    return std::string("type=3,serial=") + (device == 0 ? "1234" : "5678") + ",settings=" + std::to_string(w[0])
        + ":" + std::to_string(w[1]) + ":" + std::to_string(w[2]);
}

struct Sut {
    Sut()
    {
        store.values["Period"] = 150;
        line.start({"--device", deviceKeys(Model{}, 0)});
        window = std::make_unique<CKCTestDlg>(*session, store);
        window->show();
    }
    ~Sut()
    {
        window.reset();
        session.reset();
    }

    QPushButton* button(const char* name) const { return window->findChild<QPushButton*>(name); }
    // Clicks and says whether the click came back within the bound.
    bool click(const char* name)
    {
        const auto start = std::chrono::steady_clock::now();
        button(name)->click();
        return std::chrono::steady_clock::now() - start < kCommandBound;
    }
    bool polling() const
    {
        return session->state() == DeviceSession::State::Polling
            && !window->findChild<QLineEdit*>("typeEdit")->text().isEmpty();
    }

    // The result files as they are now.
    std::map<std::string, std::string> files() const
    {
        std::map<std::string, std::string> all;
        for (const auto& path : line.resultFiles())
            all[path.string()] = fileBytes(path);
        return all;
    }

    SimulatedLine line;
    MemorySettings store;
    std::unique_ptr<DeviceSession> session = std::make_unique<DeviceSession>();
    std::unique_ptr<CKCTestDlg> window;
    // Files that must never change again: earlier series and viewed files.
    std::map<std::string, std::string> frozen;
};

// The invariants that hold after every command.
void checkInvariants(const Model& m, Sut& sut)
{
    RC_ASSERT(sut.session->isConnected() == m.connected);
    model_check::checkFiles(sut.frozen, sut.files(), m.connected, sut.session->series()->GetCount());
}

// The device's words as the simulator holds them; only while disconnected.
void checkDeviceWords(const Model& m, const Sut& sut)
{
    if (m.connected || !m.adapter || m.silent)
        return;
    const auto words = sut.line.deviceWords(512, 3);
    const Words& expected = m.words[static_cast<std::size_t>(m.device)];
    RC_ASSERT(words == std::vector<unsigned short>(expected.begin(), expected.end()));
}

// The temperature requests on the line keep the last confirmed period: the
// median of the last five gaps (a stall of a loaded machine moves one gap,
// not the median).
void checkPeriod(const Model& m, const Sut& sut)
{
    const int from = sut.line.temperatureRequests();
    RC_ASSERT(processUntil([&] { return sut.line.temperatureRequests() >= from + 6; }, milliseconds(15000)));
    std::vector<long> times;
    for (const auto& r : sut.line.requests())
        if (r.function == 4 && r.start == 256)
            times.push_back(r.ms);
    std::vector<long> gaps;
    for (std::size_t i = times.size() - 5; i < times.size(); ++i)
        gaps.push_back(times[i] - times[i - 1]);
    std::nth_element(gaps.begin(), gaps.begin() + 2, gaps.end());
    const long median = gaps[2];
    RC_ASSERT(median >= m.periodMs / 2);
    RC_ASSERT(median <= m.periodMs * 9 / 5 + 60);
}

// After a command that leaves a device answering on a connected port, the
// session is back to polling it.
void settle(const Model& m, Sut& sut)
{
    if (m.connected && m.adapter && !m.silent)
        RC_ASSERT(processUntil([&] { return sut.polling(); }, milliseconds(15000)));
}

using Command = rc::state::Command<Model, Sut>;

struct Connect : Command {
    void checkPreconditions(const Model& m) const override { RC_PRE(!m.connected && m.adapter); }
    void apply(Model& m) const override { m.connected = true; }
    void run(const Model& m, Sut& sut) const override
    {
        RC_ASSERT(sut.click("connectButton"));
        Model after = m;
        apply(after);
        settle(after, sut);
        if (!after.silent)
            checkPeriod(after, sut);
        checkInvariants(after, sut);
    }
    void show(std::ostream& os) const override { os << "Connect"; }
};

struct Disconnect : Command {
    void checkPreconditions(const Model& m) const override { RC_PRE(m.connected); }
    void apply(Model& m) const override
    {
        m.connected = false;
        m.pending.reset();
    }
    void run(const Model& m, Sut& sut) const override
    {
        const std::size_t boxes = sut.line.boxes.shown().size();
        RC_ASSERT(sut.click("connectButton"));
        // A request cut short shows no box; only settings that waited for
        // the port are said to be lost.
        const auto shown = sut.line.boxes.shown();
        RC_ASSERT(shown.size() == boxes + (m.pending ? 1u : 0u));
        if (m.pending)
            RC_ASSERT(shown.back().text == "Измененные установки не записаны в прибор.");
        RC_ASSERT(!sut.session->isConnected());
        // The series that ended has its one file, whose count is its own;
        // from now on that file never changes.
        model_check::checkFiles(sut.frozen, sut.files(), true, sut.session->series()->GetCount());
        sut.frozen = sut.files();
        Model after = m;
        apply(after);
        checkDeviceWords(after, sut);
    }
    void show(std::ostream& os) const override { os << "Disconnect"; }
};

struct Settings : Command {
    bool ok = *rc::gen::arbitrary<bool>();
    bool write = *rc::gen::arbitrary<bool>();
    int periodMs = *rc::gen::elementOf(std::vector<int>(std::begin(kPeriods), std::end(kPeriods)));
    unsigned short mode = *rc::gen::inRange<unsigned short>(0, 2);
    unsigned short emissivity = *rc::gen::inRange<unsigned short>(80, 101);

    // The device page edits a device that answers, or one that waits for
    // its port; nothing while it is silent.
    void checkPreconditions(const Model& m) const override { RC_PRE(!m.connected || !m.silent); }
    void apply(Model& m) const override
    {
        if (!ok)
            return;
        m.periodMs = periodMs;
        if (!m.connected || !write)
            return;
        const std::size_t d = static_cast<std::size_t>(m.device);
        const Words edited{mode, emissivity, m.words[d][2]};
        if (m.adapter)
            m.words[d] = edited;
        else
            m.pending = edited;
    }
    void run(const Model& m, Sut& sut) const override
    {
        auto* timer = new QTimer(sut.window.get());
        const Settings edit = *this;
        QObject::connect(timer, &QTimer::timeout, [timer, edit] {
            auto* sheet = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (sheet == nullptr)
                return;
            timer->stop();
            timer->deleteLater();
            sheet->findChild<QLineEdit*>("periodEdit")->setText(QString::number(edit.periodMs / 1000.0));
            if (auto* e = sheet->findChild<QLineEdit*>("emissivityEdit")) {
                e->setText(QString::number(edit.emissivity / 100.0, 'f', 2));
                auto* modes = sheet->findChild<QComboBox*>("modeCombo");
                modes->setCurrentIndex(modes->findData(edit.mode));
            }
            if (edit.ok)
                sheet->accept();
            else
                sheet->reject();
        });
        timer->start(5);
        // OK on a connected device asks whether to write.
        if (m.connected && ok)
            sut.line.boxes.answerNext(write ? platform::MessageAnswer::Yes : platform::MessageAnswer::No);
        RC_ASSERT(sut.click("settingsButton"));
        Model after = m;
        apply(after);
        settle(after, sut);
        if (after.connected && after.adapter)
            checkPeriod(after, sut);
        checkInvariants(after, sut);
    }
    void show(std::ostream& os) const override
    {
        os << "Settings(" << (ok ? "OK" : "Отмена") << ", " << (write ? "Да" : "Нет") << ", period " << periodMs
           << ", mode " << mode << ", emissivity " << emissivity << ")";
    }
};

struct PullAdapter : Command {
    void checkPreconditions(const Model& m) const override { RC_PRE(m.adapter); }
    void apply(Model& m) const override { m.adapter = false; }
    void run(const Model& m, Sut& sut) const override
    {
        sut.line.kill();
        if (m.connected)
            RC_ASSERT(processUntil(
                [&] { return sut.session->state() == DeviceSession::State::WaitingForPort; }, milliseconds(10000)));
        Model after = m;
        apply(after);
        checkInvariants(after, sut);
    }
    void show(std::ostream& os) const override { os << "PullAdapter"; }
};

struct PlugAdapter : Command {
    int device = *rc::gen::inRange(0, 2);

    void checkPreconditions(const Model& m) const override { RC_PRE(!m.adapter); }
    void apply(Model& m) const override
    {
        m.adapter = true;
        const bool same = device == m.device;
        m.device = device;
        if (m.pending && same && m.connected && !m.silent)
            m.words[static_cast<std::size_t>(device)] = *m.pending;
        if (m.pending && (!same || (m.connected && !m.silent)))
            m.pending.reset();
    }
    void run(const Model& m, Sut& sut) const override
    {
        // The device keeps its words while unplugged.
        sut.line.start({"--device", deviceKeys(m, device)});
        Model after = m;
        apply(after);
        settle(after, sut);
        checkInvariants(after, sut);
    }
    void show(std::ostream& os) const override { os << "PlugAdapter(device " << device << ")"; }
};

struct Silence : Command {
    bool silent = *rc::gen::arbitrary<bool>();

    void checkPreconditions(const Model& m) const override { RC_PRE(m.adapter && m.silent != silent); }
    void apply(Model& m) const override { m.silent = silent; }
    void run(const Model& m, Sut& sut) const override
    {
        sut.line.control(silent ? "1 silence" : "1 none");
        Model after = m;
        apply(after);
        settle(after, sut);
        checkInvariants(after, sut);
    }
    void show(std::ostream& os) const override { os << (silent ? "Silence" : "Answer"); }
};

struct Graphs : Command {
    void checkPreconditions(const Model& m) const override { RC_PRE(m.connected); }
    void apply(Model&) const override {}
    void run(const Model& m, Sut& sut) const override
    {
        RC_ASSERT(sut.click("graphButton"));
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != sut.window.get() && w->isVisible() && w->windowTitle().startsWith("-- График"))
                w->close();
        checkInvariants(m, sut);
    }
    void show(std::ostream& os) const override { os << "Graphs"; }
};

struct ViewFile : Command {
    void checkPreconditions(const Model& m) const override { RC_PRE(!m.connected); }
    void apply(Model&) const override {}
    void run(const Model& m, Sut& sut) const override
    {
        const auto files = sut.line.resultFiles();
        if (files.empty())
            return;
        const QString path = QString::fromStdString(files.front().string());
        setFileDialogService([path](const FileDialogRequest&) -> std::optional<QString> { return path; });
        const bool clicked = sut.click("graphButton");
        setFileDialogService({});
        RC_ASSERT(clicked);
        checkInvariants(m, sut);
    }
    void show(std::ostream& os) const override { os << "ViewFile"; }
};

// Quits as the operator does; nothing is left running, and every file is as
// the model says.
void quit(const Model& m, Sut& sut)
{
    sut.line.boxes.answerNext(platform::MessageAnswer::Yes);
    sut.window->reject();
    RC_ASSERT(!sut.session->isConnected());
    const bool portClosed = sut.session->port() == nullptr;
    RC_ASSERT(portClosed);
    RC_ASSERT(sut.session->state() == DeviceSession::State::Disconnected);
    const long count = sut.session->series()->GetCount();
    sut.window.reset();
    sut.session.reset();
    model_check::checkFiles(sut.frozen, sut.files(), m.connected, count);
    Model after = m;
    after.connected = false;
    after.pending.reset();
    checkDeviceWords(after, sut);
}

TEST(SessionModel, OperatorSequencesKeepTheDeviceTheFilesAndThePeriod)
{
    model_check::run([] {
        const auto commands = *rc::state::gen::commands(
            Model{}, rc::state::gen::execOneOfWithArgs<Connect, Disconnect, Settings, PullAdapter, PlugAdapter,
                                                       Silence, Graphs, ViewFile>());
        RC_CLASSIFY(commands.size() < 5, "under 5 commands");
        RC_CLASSIFY(commands.size() >= 5 && commands.size() < 10, "5 to 9 commands");
        RC_CLASSIFY(commands.size() >= 10, "10 commands or more");
        Sut sut;
        rc::state::runAll(commands, Model{}, sut);
        Model last;
        rc::state::applyAll(commands, last);
        quit(last, sut);
    });
}

}  // namespace
