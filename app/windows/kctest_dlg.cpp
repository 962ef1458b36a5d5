#include "windows/kctest_dlg.h"

#include "windows/about_dlg.h"
#include "services/app_icon.h"
#include "settings/dev_config.h"
#include "session/device_session.h"
#include "windows/display_format.h"
#include "windows/error_box.h"
#include "services/file_dialogs.h"
#include "graph/graph_placement.h"
#include "graph/graph_wnd.h"
#include "windows/quit_question.h"
#include "rangebar.h"
#include "windows/stale_reading.h"
#include "services/window_messages.h"

#include "ui_kctest_dlg.h"

#include "platform/clock.h"
#include "platform/message_box.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>

#include <cstring>

namespace {

const char* const kConnectText = "Подключиться";
const char* const kDisconnectText = "Отключиться";
const char* const kSeriesFilter = "ZodarAver Files (*.tdf)|*.tdf|All Files (*.*)|*.*||";

QString textOf(const char* chars, std::size_t size)
{
    return QString::fromLatin1(chars, static_cast<int>(strnlen(chars, size)));
}

}  // namespace

CKCTestDlg::CKCTestDlg(DeviceSession& session, SettingsBackend& store, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::KCTestDlg>()), session_(session), store_(store)
{
    ui_->setupUi(this);
    setWindowIcon(applicationIcon());
    stored_ = readStoredSettings(store_);
    attemptCount() = static_cast<std::uint16_t>(stored_.program.attempts);
    session_.setBoxOwner(static_cast<QWidget*>(this));

    connect(ui_->connectButton, &QPushButton::clicked, this, &CKCTestDlg::onConnectClicked);
    connect(ui_->settingsButton, &QPushButton::clicked, this, &CKCTestDlg::onSettingsClicked);
    connect(ui_->graphButton, &QPushButton::clicked, this, [this] { onGraphClicked(graph::GraphKind::Temperature); });
    connect(ui_->quantumButton, &QPushButton::clicked, this, [this] { onGraphClicked(graph::GraphKind::Quantum); });
    connect(ui_->saveResultsCheck, &QCheckBox::toggled, this, [this](bool on) { session_.setSaveResults(on); });
    connect(ui_->aboutButton, &QPushButton::clicked, this, &CKCTestDlg::showAbout);

    connect(&session_, &DeviceSession::connectionChanged, this, &CKCTestDlg::onConnectionChanged);
    connect(&session_, &DeviceSession::identified, this, &CKCTestDlg::onIdentified);
    connect(&session_, &DeviceSession::stateRead, this, &CKCTestDlg::onStateRead);
    connect(&session_, &DeviceSession::reading, this, &CKCTestDlg::onReading);
    connect(&session_, &DeviceSession::settingsWritten, this, &CKCTestDlg::refreshParameterDisplay);
    connect(&session_, &DeviceSession::resultSavingFailed, this, &CKCTestDlg::onResultSavingFailed);
    connect(&session_, &DeviceSession::requestFailed, this, [this](const kc::Result& result) {
        counters_.note(result);
        refreshStatus();
    });
    connect(&session_, &DeviceSession::portLost, this, &CKCTestDlg::refreshStatus);
    connect(&session_, &DeviceSession::portBack, this, &CKCTestDlg::refreshStatus);
    connect(&session_, &DeviceSession::pendingSettingsDropped, this,
            [this] { showErrorBox(this, "Измененные установки не записаны в прибор."); });

    // Rows that come and go keep their room, so the window keeps its shape.
    for (QWidget* w : {static_cast<QWidget*>(ui_->thermostatValueLabel), static_cast<QWidget*>(ui_->thermostatValueEdit),
                       static_cast<QWidget*>(ui_->parameterLabel), static_cast<QWidget*>(ui_->parameterEdit),
                       static_cast<QWidget*>(ui_->lastReadingLabel)}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }
    // A date picker shows nothing while no device has given a date.
    ui_->verifyDateEdit->setMinimumDate(QDate(1752, 9, 14));
    ui_->verifyDateEdit->setSpecialValueText(" ");
    ui_->lastReadingLabel->hide();
    setupStatusBar();

    ui_->portEdit->setText(stored_.comm.portName);
    ui_->portEdit->setFocusPolicy(Qt::NoFocus);
    ui_->connectButton->setFocus();
    ui_->saveResultsCheck->setChecked(session_.savesResults());
    clearDeviceDisplay();
    refreshParameterDisplay();
    ui_->quantumEdit->setVisible(stored_.program.readQuant);
    ui_->quantumLabel->setVisible(stored_.program.readQuant);
    ui_->quantumButton->setVisible(stored_.program.readQuant);
}

CKCTestDlg::~CKCTestDlg() = default;

bool CKCTestDlg::event(QEvent* e)
{
    if (e->type() == WindowMessageEvent::eventType()) {
        const auto* message = static_cast<WindowMessageEvent*>(e);
        if (message->message() == WM_GRAPH_CLOSED)
            if (const auto kind = graph::graphKindOf(message->wParam()))
                hideGraph(*kind);
        return true;
    }
    return QDialog::event(e);
}

void CKCTestDlg::onConnectClicked()
{
    if (session_.isConnected())
        disconnectPort();
    else
        connectPort();
}

void CKCTestDlg::connectPort()
{
    KCOpenError why = KC_OPEN_OK;
    if (!session_.connectDevice(stored_, &why)) {
        showErrorBox(this, "Ошибка открытия порта", KCGetOpenErrorTxt(why));
        return;
    }
    // Cancel at the log question switches the log off, and so it is stored.
    if (stored_.program.log && !session_.logging())
        stored_.program.log = false;
    if (session_.series() == nullptr)
        showErrorBox(this, "Ошибка размещения памяти под данные");
    // A graph left open on a saved file shows the live series from here on,
    // as one opened now would, its time window on the whole run.
    shownFile_.clear();
    for (const graph::GraphKind kind : {graph::GraphKind::Temperature, graph::GraphKind::Quantum}) {
        CGraphWnd* graph = graphOf(kind).get();
        if (graph == nullptr)
            continue;
        if (graph->isVisible())
            showGraph(kind);
        CRangeBar* times = graph->timeRuler();
        times->SetMin(-5000);
        times->SetMax(0);
        times->SetWinMax(0);
        times->SetWinMin(-5000);
    }
}

void CKCTestDlg::disconnectPort()
{
    session_.disconnectDevice();
    // Where the run's readings went, for whoever looks for them next.
    const TermDataFile* series = session_.series();
    if (series != nullptr && session_.savesResults() && !series->GetFilePath().empty())
        ui_->statusBar->showMessage(
            QString("Результаты записаны в файл %1")
                .arg(QDir::toNativeSeparators(QFileInfo(QFile::decodeName(series->GetFilePath().c_str())).absoluteFilePath())));
    for (const graph::GraphKind kind : {graph::GraphKind::Temperature, graph::GraphKind::Quantum})
        sendMessage(this, WM_GRAPH_CLOSED, graph::messageNumberOf(kind), 0);
}

void CKCTestDlg::onConnectionChanged(bool connected)
{
    ui_->connectButton->setText(connected ? kDisconnectText : kConnectText);
    if (connected) {
        ui_->statusBar->clearMessage();
        counters_ = kc::LinkCounts();
        staleness_ = Staleness(stored_.program.periodMs);
        statusTimer_.start();
    } else {
        statusTimer_.stop();
        clearDeviceDisplay();
    }
    showStale(false);
    refreshParameterDisplay();
    refreshStatus();
}

// Fields of device data are empty while no device is connected.
void CKCTestDlg::clearDeviceDisplay()
{
    for (QLineEdit* e : {ui_->typeEdit, ui_->serialEdit, ui_->yearEdit, ui_->sensorEdit, ui_->lowerRangeEdit,
                         ui_->upperRangeEdit, ui_->stateEdit, ui_->thermostatEdit, ui_->modeEdit, ui_->quantumEdit})
        e->clear();
    ui_->verifyDateEdit->setDate(ui_->verifyDateEdit->minimumDate());
    ui_->thermostatValueEdit->setText("0");
    ui_->temperatureEdit->setText("0");
}

void CKCTestDlg::setupStatusBar()
{
    linkPane_ = new QLabel(this);
    readingsPane_ = new QLabel(this);
    failuresPane_ = new QLabel(this);
    agePane_ = new QLabel(this);
    linkPane_->setObjectName("linkPane");
    readingsPane_->setObjectName("readingsPane");
    failuresPane_->setObjectName("failuresPane");
    agePane_->setObjectName("agePane");
    ui_->statusBar->addWidget(linkPane_, 1);
    ui_->statusBar->addWidget(readingsPane_);
    ui_->statusBar->addWidget(failuresPane_);
    ui_->statusBar->addWidget(agePane_);
    statusTimer_.setInterval(500);
    connect(&statusTimer_, &QTimer::timeout, this, &CKCTestDlg::refreshStatus);
    refreshStatus();
}

void CKCTestDlg::refreshStatus()
{
    const bool connected = session_.isConnected();
    const bool waiting = session_.state() == DeviceSession::State::WaitingForPort;
    const KCConfig config = session_.config();
    linkPane_->setText(linkText(connected, waiting, session_.settings().comm.portName, config.address, config.baudRate));
    readingsPane_->setVisible(connected);
    failuresPane_->setVisible(connected);
    agePane_->setVisible(connected);
    readingsPane_->setText(readingsText(counters_.readings));
    failuresPane_->setText(failuresText(counters_));
    const std::uint32_t now = platform::tickCount();
    agePane_->setText(ageText(staleness_.ageMs(now)));
    showStale(connected && staleness_.isStale(now));
}

// A temperature that is overdue turns grey and says when it was read, so
// that nobody takes an old value for a live one.
void CKCTestDlg::showStale(bool stale)
{
    if (stale == stale_)
        return;
    stale_ = stale;
    showReadingStale(*ui_->temperatureEdit, *ui_->lastReadingLabel, stale, lastReadingAt_);
}

void CKCTestDlg::onIdentified(const IdentifiedDevice& device)
{
    // The model's name is that of the type the device gave, whatever the
    // ratio detection made of it.
    const v2DeviceInfo& info = device.deviceInfo;
    ui_->typeEdit->setText(QString::fromUtf8(getDeviceName(info.type)));
    ui_->serialEdit->setText(textOf(info.serial, sizeof info.serial));
    ui_->yearEdit->setText(textOf(info.year, sizeof info.year));
    ui_->sensorEdit->setText(QString::fromUtf8(KCGetSensorName(static_cast<unsigned short>(info.sensor))));
    ui_->lowerRangeEdit->setText(QString::number(info.tempMin));
    ui_->upperRangeEdit->setText(QString::number(info.tempMax));
    char date[sizeof info.verifyDate + 1] = {};
    std::memcpy(date, info.verifyDate, sizeof info.verifyDate);
    if (const auto verified = verificationDate(date))
        ui_->verifyDateEdit->setDate(*verified);
    refreshParameterDisplay();
}

void CKCTestDlg::onStateRead(std::uint8_t state)
{
    const unsigned thermostat = kc::thermostatOf(state);
    ui_->stateEdit->setText((state & 0x80) ? "настройка" : "измерение");
    ui_->thermostatValueEdit->setText(QString::number(thermostat));
    ui_->thermostatEdit->setText(thermostat == 0 ? "в режиме" : "не в режиме");
    ui_->thermostatValueLabel->setVisible(thermostat != 0);
    ui_->thermostatValueEdit->setVisible(thermostat != 0);
    if (thermostat == 0)
        ui_->modeEdit->setText(QString::fromUtf8(KCGetDevModeName(session_.currentMode())));
}

void CKCTestDlg::onReading(const SessionReading& reading)
{
    ++counters_.readings;
    readingsPane_->setText(readingsText(counters_.readings));
    staleness_.reading(platform::tickCount());
    lastReadingAt_ = QTime::currentTime();
    showStale(false);
    ui_->temperatureEdit->setText(temperatureText(reading.temperature));
    if (stored_.program.readQuant)
        ui_->quantumEdit->setText(QString::asprintf("%i", static_cast<int>(reading.quantum)));
    if (temperatureGraph_)
        postMessage(temperatureGraph_.get(), WM_GRAPH_NEWVALUE, reading.temperature, reading.timeMs);
    if (quantumGraph_)
        postMessage(quantumGraph_.get(), WM_GRAPH_NEWVALUE, reading.quantum, reading.timeMs);
}

void CKCTestDlg::onResultSavingFailed()
{
    ui_->saveResultsCheck->setChecked(false);
    showErrorBox(this, "Ошибка сохранения промежуточных результатов.");
}

void CKCTestDlg::refreshParameterDisplay()
{
    std::optional<ModeParameter> parameter;
    if (session_.isConnected()) {
        const KCConfig config = session_.config();
        const unsigned type = session_.deviceInfo().type;
        ui_->emissivityLabel->setText(isRatioDevice(type) ? "Отношение степеней черноты" : "Степень черноты");
        ui_->emissivityEdit->setText(emissivityText(config.emissivity, type));
        parameter = modeParameter(config);
        ui_->thermostatValueLabel->show();
        ui_->thermostatValueEdit->show();
    } else {
        ui_->emissivityEdit->clear();
        ui_->thermostatValueLabel->hide();
        ui_->thermostatValueEdit->hide();
    }
    ui_->parameterLabel->setVisible(parameter.has_value());
    ui_->parameterEdit->setVisible(parameter.has_value());
    if (parameter) {
        ui_->parameterLabel->setText(parameter->name);
        ui_->parameterEdit->setText(parameter->value);
    }
}

void CKCTestDlg::onSettingsClicked()
{
    const bool connected = session_.isConnected();
    SheetValues values;
    values.config = session_.config();
    values.comm = stored_.comm;
    values.program = stored_.program;
    // The device page shows only settings the device gave: not before its
    // identification has finished.
    const bool identified = connected && session_.hasIdentifiedDevice();
    DeviceFacts device;
    if (identified) {
        const v2DeviceInfo info = session_.deviceInfo();
        device = DeviceFacts{info.type, info.variant, session_.limits()};
    }
    if (connected)
        session_.pausePolling();
    // A changed address and speed are written to the device where it is now.
    const auto writeAddress = static_cast<std::uint8_t>(values.config.address & 0xFF);

    CDevConfig sheet(values, identified ? &device : nullptr, this);
    if (sheet.exec() != QDialog::Accepted) {
        session_.resumePolling();
        return;
    }
    const SheetValues& edited = sheet.values();
    stored_.comm = edited.comm;
    stored_.program = edited.program;
    const ProgramSettings& program = stored_.program;
    attemptCount() = static_cast<std::uint16_t>(program.attempts);
    session_.setPeriod(program.periodMs);
    staleness_.setPeriod(program.periodMs);
    session_.setConfig(edited.config);
    session_.setLogging(program.log);
    ui_->portEdit->setText(stored_.comm.portName);
    refreshParameterDisplay();
    if (identified) {
        const bool write = !stored_.program.confirmUpdate
            || platform::showMessageBox("Записать измененные установки в прибор?", "Подтверждение изменений установок",
                                        platform::MessageButtons::YesNo, platform::MessageIcon::Question, this)
                == platform::MessageAnswer::Yes;
        if (write)
            session_.writeSettings(writeAddress);
        else
            session_.resumePolling();
    } else if (connected) {
        session_.resumePolling();
    }
    for (CGraphWnd* graph : {temperatureGraph_.get(), quantumGraph_.get()})
        if (graph != nullptr)
            sendMessage(graph, WM_GRAPH_SETSPAN, static_cast<std::uintptr_t>(stored_.program.graphSpanMs), 0);
}

void CKCTestDlg::onGraphClicked(graph::GraphKind kind)
{
    if (!session_.isConnected()) {
        FileDialogRequest request;
        request.kind = FileDialogRequest::Kind::Open;
        request.defaultSuffix = "tdf";
        request.filter = kSeriesFilter;
        request.parent = this;
        const std::optional<QString> path = askFileName(request);
        if (!path || !loadSeries(*path))
            return;
    }
    showGraph(kind);
}

bool CKCTestDlg::showSeriesFile(const QString& path)
{
    if (!loadSeries(path))
        return false;
    showGraph(graph::GraphKind::Temperature);
    return true;
}

bool CKCTestDlg::loadSeries(const QString& path)
{
    if (session_.viewSeriesFile(path)) {
        shownFile_ = QFileInfo(path).fileName();
        return true;
    }
    showErrorBox(this, "Ошибка получения данных из файла");
    return false;
}

std::unique_ptr<CGraphWnd>& CKCTestDlg::graphOf(graph::GraphKind kind)
{
    return kind == graph::GraphKind::Temperature ? temperatureGraph_ : quantumGraph_;
}

void CKCTestDlg::showGraph(graph::GraphKind kind)
{
    TermDataFile* series = session_.series();
    if (series == nullptr)
        return;
    std::unique_ptr<CGraphWnd>& graph = graphOf(kind);
    if (!graph) {
        graph = std::make_unique<CGraphWnd>(kind, this);
        graph::placeNewGraph(*graph, store_, kind);
        // A pause of the device (a port that went away, a device that fell
        // silent) shows as a gap rather than a line across it.
        graph->toggleBreakAtGaps();
    }
    // A saved series says which file it is and shows no live reading.
    const QString title = kind == graph::GraphKind::Temperature ? "-- График t, °C--" : "-- График квантов --";
    const bool savedSeries = !session_.isConnected() && !shownFile_.isEmpty();
    graph->setWindowTitle(savedSeries ? QString("%1 %2").arg(title, shownFile_) : title);
    if (savedSeries)
        graph->forgetReading();
    const bool temperature = kind == graph::GraphKind::Temperature;
    const auto low = static_cast<std::uint16_t>(temperature ? series->GetMin() : 0);
    const auto high = static_cast<std::uint16_t>(temperature ? series->GetMax() : 65535);
    sendMessage(graph.get(), WM_GRAPH_SETDATA, makeWordPair(low, high), reinterpret_cast<std::intptr_t>(series));
    sendMessage(graph.get(), WM_GRAPH_SETSPAN, 0, 0);
    if (graph->isHidden())
        graph->show();
}

void CKCTestDlg::hideGraph(graph::GraphKind kind)
{
    CGraphWnd* graph = graphOf(kind).get();
    if (graph == nullptr)
        return;
    if (graph->isVisible())
        graph::storePlacement(store_, graph->graphKind(), *graph);
    graph->hide();
}

void CKCTestDlg::showAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CKCTestDlg::reject()
{
    if (!operatorConfirmsQuit(this))
        return;
    writeStoredSettings(store_, stored_);
    session_.close();
    for (CGraphWnd* graph : {temperatureGraph_.get(), quantumGraph_.get()})
        if (graph != nullptr && graph->isVisible())
            graph::storePlacement(store_, graph->graphKind(), *graph);
    temperatureGraph_.reset();
    quantumGraph_.reset();
    QDialog::reject();
}
