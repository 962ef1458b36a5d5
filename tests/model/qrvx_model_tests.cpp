// Random sequences of what an operator does in the QRVX window (offscreen)
// against kl_sim --qrvx, held against a model of the session and its files.
// KL_MODEL_SEQUENCES sets how many sequences run.
#include "model_check.h"

#include "services/file_dialogs.h"
#include "windows/qrvx_dlg.h"

#include "../app/app_test_support.h"
#include "test_support.h"

#include "platform/library.h"

#include <rapidcheck/state.h>

#include <QCheckBox>
#include <QDir>
#include <QPushButton>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace {

using std::chrono::milliseconds;

struct Model {
    bool connected = false;
    // "Сохранять результаты" as the operator left it (taken at connect).
    bool saving = false;
    // Saving as the live series was begun with.
    bool liveSaving = false;
    // Result files written so far.
    int savedFiles = 0;
    // The series in the window was read live and ended while saving was
    // off: quitting with saving on then writes it.
    bool unsavedSeries = false;
};

std::string fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Sut {
    Sut() : previousDir(QDir::currentPath())
    {
        QDir::setCurrent(QString::fromStdString(work.path()));
        module = platform::loadLibrary(KL_QRVX_PATH);
        sim = std::make_unique<testing_support::SimProcess>(work.path(), std::vector<std::string>{"--qrvx", "--rate", "50"},
                                                             1);
        top.values["Period"] = 0;
        session = std::make_unique<QrvxSession>(module);
        window = std::make_unique<CQRVXDlg>(*session, top, qrvx);
        window->show();
    }
    ~Sut()
    {
        window.reset();
        session.reset();
        sim.reset();
        platform::freeLibrary(module);
        QDir::setCurrent(previousDir);
    }

    std::map<std::string, std::string> files() const
    {
        std::map<std::string, std::string> all;
        for (const auto& entry : std::filesystem::directory_iterator(work.path()))
            if (entry.path().extension() == ".tdf")
                all[entry.path().string()] = fileBytes(entry.path());
        return all;
    }
    void click(const char* name) { window->findChild<QPushButton*>(name)->click(); }

    testing_support::TempDir work;
    testing_support::ScopedEnv devices{"KL_DEVICE_DIR", work.path()};
    testing_support::ScriptedMessageBoxes boxes;
    QString previousDir;
    void* module = nullptr;
    std::unique_ptr<testing_support::SimProcess> sim;
    MemorySettings top;
    MemorySettings qrvx;
    std::unique_ptr<QrvxSession> session;
    std::unique_ptr<CQRVXDlg> window;
    std::map<std::string, std::string> frozen;
};

using Command = rc::state::Command<Model, Sut>;

struct Connect : Command {
    void checkPreconditions(const Model& m) const override { RC_PRE(!m.connected); }
    void apply(Model& m) const override
    {
        m.connected = true;
        m.liveSaving = m.saving;
        m.unsavedSeries = false;
    }
    void run(const Model& m, Sut& sut) const override
    {
        sut.click("connectButton");
        RC_ASSERT(sut.session->isConnected());
        RC_ASSERT(processUntil([&] { return sut.session->series()->GetCount() >= 3; }, milliseconds(10000)));
        Model after = m;
        apply(after);
        model_check::checkFiles(sut.frozen, sut.files(), after.liveSaving,
                                sut.session->series()->GetCount());
    }
    void show(std::ostream& os) const override { os << "Connect"; }
};

struct Disconnect : Command {
    void checkPreconditions(const Model& m) const override { RC_PRE(m.connected); }
    void apply(Model& m) const override
    {
        m.connected = false;
        m.savedFiles += m.liveSaving ? 1 : 0;
        m.unsavedSeries = !m.liveSaving;
    }
    void run(const Model& m, Sut& sut) const override
    {
        sut.click("connectButton");
        RC_ASSERT(!sut.session->isConnected());
        RC_ASSERT(!sut.session->threadsRunning());
        model_check::checkFiles(sut.frozen, sut.files(), m.liveSaving,
                                sut.session->series()->GetCount());
        sut.frozen = sut.files();
    }
    void show(std::ostream& os) const override { os << "Disconnect"; }
};

struct Saving : Command {
    bool on = *rc::gen::arbitrary<bool>();

    void checkPreconditions(const Model& m) const override { RC_PRE(!m.connected); }
    void apply(Model& m) const override { m.saving = on; }
    void run(const Model&, Sut& sut) const override
    {
        sut.window->findChild<QCheckBox*>("saveResultsCheck")->setChecked(on);
    }
    void show(std::ostream& os) const override { os << "Saving(" << (on ? "on" : "off") << ")"; }
};

struct ViewFile : Command {
    void checkPreconditions(const Model& m) const override { RC_PRE(!m.connected); }
    // The viewed file takes the place of the series in the window.
    void apply(Model& m) const override { m.unsavedSeries = m.unsavedSeries && m.savedFiles == 0; }
    void run(const Model& m, Sut& sut) const override
    {
        const auto files = sut.files();
        if (files.empty())
            return;
        const QString path = QString::fromStdString(files.begin()->first);
        const FileDialogService previous =
            setFileDialogService([path](const FileDialogRequest&) -> std::optional<QString> { return path; });
        sut.click("graphButton");
        setFileDialogService(previous);
        model_check::checkFiles(sut.frozen, sut.files(), m.connected && m.liveSaving, 0);
    }
    void show(std::ostream& os) const override { os << "ViewFile"; }
};

TEST(QrvxModel, OperatorSequencesKeepTheFiles)
{
    model_check::run([] {
        const auto commands =
            *rc::state::gen::commands(Model{}, rc::state::gen::execOneOfWithArgs<Connect, Disconnect, Saving, ViewFile>());
        Sut sut;
        rc::state::runAll(commands, Model{}, sut);
        Model last;
        rc::state::applyAll(commands, last);
        // Quitting stops everything; the series in the window has a file
        // when it was read live and saving is on.
        sut.boxes.answerNext(platform::MessageAnswer::Yes);
        sut.window->reject();
        RC_ASSERT(!sut.session->isConnected());
        RC_ASSERT(!sut.session->threadsRunning());
        const long count = sut.session->series()->GetCount();
        sut.window.reset();
        const bool live = last.connected ? last.liveSaving : last.unsavedSeries && last.saving;
        model_check::checkFiles(sut.frozen, sut.files(), live, count);
    });
}

}  // namespace
