#include "kctest_dlg.h"

#include "about_dlg.h"
#include "app_icon.h"
#include "display_format.h"
#include "window_messages.h"

#include "ui_kctest_dlg.h"

#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/sync.h"

#include <cstring>
#include <new>

namespace {

const char* const kStopEventName = "EndReadThread";
const char* const kConnectText = "Подключиться";
const char* const kDisconnectText = "Отключиться";

QString textOf(const char* chars, std::size_t size)
{
    return QString::fromLatin1(chars, static_cast<int>(strnlen(chars, size)));
}

void showError(QWidget* owner, const char* text)
{
    platform::showMessageBox(text, "Ошибка", platform::MessageButtons::Ok, platform::MessageIcon::Error, owner);
}

}  // namespace

CKCTestDlg::CKCTestDlg(SettingsBackend& store, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::KCTestDlg>()),
      store_(store),
      stopEvent_(platform::createEvent(kStopEventName, true, true)),
      series_(new (std::nothrow) TermDataFile)
{
    ui_->setupUi(this);
    setWindowIcon(applicationIcon());
    stored_ = readStoredSettings(store_);
    attemptCount() = stored_.numErrors;

    connect(ui_->connectButton, &QPushButton::clicked, this, &CKCTestDlg::onConnectClicked);
    connect(ui_->saveResultsCheck, &QCheckBox::toggled, this, &CKCTestDlg::onSaveResultsToggled);
    connect(ui_->aboutButton, &QPushButton::clicked, this, &CKCTestDlg::showAbout);
    // The settings sheet and the graph windows are not part of this window yet.
    ui_->settingsButton->setEnabled(false);
    ui_->graphButton->setEnabled(false);
    ui_->quantumButton->setEnabled(false);

    ui_->portEdit->setText(stored_.port);
    ui_->verifyDateEdit->setDate(QDate::currentDate());
    ui_->thermostatValueEdit->setText("0");
    ui_->temperatureEdit->setText("0");
    refreshParameterDisplay();
    ui_->quantumEdit->setVisible(stored_.readQuant);
    ui_->quantumLabel->setVisible(stored_.readQuant);
    ui_->quantumButton->setVisible(stored_.readQuant);
}

CKCTestDlg::~CKCTestDlg()
{
    platform::setEvent(stopEvent_);
    stopWorkers();
    if (port_ != nullptr)
        KCClosePort(port_);
    // A series that never received a reading leaves no empty file behind.
    if (series_ && saveResults_ && series_->GetCount() > 0)
        series_->Save();
    platform::closeHandle(stopEvent_);
}

bool CKCTestDlg::event(QEvent* e)
{
    if (e->type() == WindowMessageEvent::eventType()) {
        const auto* message = static_cast<WindowMessageEvent*>(e);
        if (message->message() == WM_KC_NOTIFY)
            handleNotify(static_cast<unsigned>(message->wParam()), message->lParam());
        return true;
    }
    return QDialog::event(e);
}

void CKCTestDlg::handleNotify(unsigned code, std::intptr_t argument)
{
    switch (code) {
    case kNotifyIdentify: startInformationWorker(); break;
    case kNotifyIdentified: onIdentified(); break;
    case kNotifyStartPolling: startPollingWorker(); break;
    case kNotifyState: onState(); break;
    case kNotifyReading: onReading(); break;
    case kNotifyWritten: onWritten(); break;
    case kNotifyQuantum: ui_->quantumEdit->setText(QString::asprintf("%i", static_cast<int>(argument))); break;
    default: break;
    }
}

void CKCTestDlg::onConnectClicked()
{
    if (isConnected())
        disconnectPort();
    else
        connectPort();
}

void CKCTestDlg::connectPort()
{
    const LinkFields now = link_.snapshot();
    HandleGuard guard = KCOpenPort(stored_.port.toUtf8().constData(), static_cast<char>(now.config.baudRate));
    if (!platform::isUsableHandle(guard.get())) {
        showError(this, "Ошибка открытия порта");
        return;
    }
    port_ = guard.release();

    if (series_)
        series_->Clear();
    else
        showError(this, "Ошибка размещения памяти под данные");
    startTick_ = 0;
    startTickSet_ = false;
    ui_->connectButton->setText(kDisconnectText);
    if (stored_.log && log_.open(stored_.logFileName, this) == TextLog::Outcome::Declined)
        stored_.log = false;

    if (KCPortInfo* info = getKCPortInfo(port_)) {
        info->sendDTR = stored_.automaticFlow ? 255 : stored_.sendDTR;
        info->sendRTS = stored_.automaticFlow ? 255 : stored_.sendRTS;
        info->recvDTR = stored_.automaticFlow ? 255 : stored_.recvDTR;
        info->recvRTS = stored_.automaticFlow ? 255 : stored_.recvRTS;
    }
    sendMessage(this, WM_KC_NOTIFY, kNotifyIdentify, 0);
}

void CKCTestDlg::disconnectPort()
{
    platform::setEvent(stopEvent_);
    stopWorkers();
    KCClosePort(port_);
    port_ = nullptr;
    startTick_ = 0;
    startTickSet_ = false;
    ui_->connectButton->setText(kConnectText);
    clearDeviceDisplay();
    refreshParameterDisplay();
    log_.close();
    if (series_ && saveResults_)
        series_->Save();
}

void CKCTestDlg::clearDeviceDisplay()
{
    for (QLineEdit* e : {ui_->typeEdit, ui_->serialEdit, ui_->yearEdit, ui_->sensorEdit, ui_->lowerRangeEdit,
                         ui_->upperRangeEdit, ui_->stateEdit, ui_->thermostatEdit, ui_->modeEdit})
        e->clear();
    ui_->lowerRangeEdit->setText("0");
    ui_->upperRangeEdit->setText("0");
    ui_->verifyDateEdit->setDate(QDate::currentDate());
    ui_->thermostatValueEdit->setText("0");
    ui_->temperatureEdit->setText("0");
}

void CKCTestDlg::pauseWorkers()
{
    platform::setEvent(stopEvent_);
    stopWorkers();
}

void CKCTestDlg::stopWorkers()
{
    cancel_ = true;
    infoWorker_.join();
    pollWorker_.join();
    writeWorker_.join();
    cancel_ = false;
}

WorkerContext CKCTestDlg::workerContext()
{
    WorkerContext c;
    c.port = port_;
    c.stopEvent = stopEvent_;
    c.link = &link_;
    c.owner = this;
    c.cancel = &cancel_;
    c.post = [this](unsigned code, std::intptr_t argument) { postMessage(this, WM_KC_NOTIFY, code, argument); };
    return c;
}

void CKCTestDlg::startInformationWorker()
{
    if (!isConnected())
        return;
    // The only running identification at this point is the one that asked for
    // this new attempt and is ending.
    infoWorker_.join();
    const WorkerContext c = workerContext();
    infoWorker_.start([c] { runInformationWorker(c); });
}

void CKCTestDlg::startPollingWorker()
{
    if (!isConnected() || pollWorker_.running())
        return;
    const WorkerContext c = workerContext();
    const int period = stored_.periodMs;
    const bool readQuantum = stored_.readQuant;
    pollWorker_.start([c, period, readQuantum] { runPollingWorker(c, period, readQuantum); });
}

void CKCTestDlg::startWriteWorker(std::uint8_t writeAddress)
{
    if (!isConnected() || writeWorker_.running())
        return;
    const WorkerContext c = workerContext();
    writeWorker_.start([c, writeAddress] { runWriteWorker(c, writeAddress); });
}

void CKCTestDlg::onIdentified()
{
    const LinkFields now = link_.snapshot();
    deviceInfo_ = now.deviceInfo;
    ui_->typeEdit->setText(QString::fromUtf8(getDeviceName(deviceInfo_.type)));
    ui_->serialEdit->setText(textOf(deviceInfo_.serial, sizeof deviceInfo_.serial));
    ui_->yearEdit->setText(textOf(deviceInfo_.year, sizeof deviceInfo_.year));
    ui_->sensorEdit->setText(QString::fromUtf8(KCGetSensorName(static_cast<unsigned short>(deviceInfo_.sensor))));
    ui_->lowerRangeEdit->setText(QString::number(deviceInfo_.tempMin));
    ui_->upperRangeEdit->setText(QString::number(deviceInfo_.tempMax));
    char date[sizeof deviceInfo_.verifyDate + 1] = {};
    std::memcpy(date, deviceInfo_.verifyDate, sizeof deviceInfo_.verifyDate);
    if (const auto verified = verificationDate(date))
        ui_->verifyDateEdit->setDate(*verified);
    refreshParameterDisplay();
    if (series_)
        series_->SetDeviceInfo(&deviceInfo_);
    platform::resetEvent(stopEvent_);
    postMessage(this, WM_KC_NOTIFY, kNotifyStartPolling, 0);
}

void CKCTestDlg::onState()
{
    const LinkFields now = link_.snapshot();
    const int thermostat = now.state & 0x7F;
    ui_->stateEdit->setText((now.state & 0x80) ? "настройка" : "измерение");
    ui_->thermostatValueEdit->setText(QString::number(thermostat));
    ui_->thermostatEdit->setText(thermostat == 0 ? "в режиме" : "не в режиме");
    ui_->thermostatValueLabel->setVisible(thermostat != 0);
    ui_->thermostatValueEdit->setVisible(thermostat != 0);
    if (thermostat == 0) {
        ui_->modeEdit->setText(QString::fromUtf8(KCGetDevModeName(now.currentMode)));
        if (!startTickSet_) {
            startTick_ = platform::tickCount();
            startTickSet_ = true;
        }
    }
}

void CKCTestDlg::onReading()
{
    const LinkFields now = link_.snapshot();
    const std::uint32_t tick = platform::tickCount();
    if (!startTickSet_) {
        startTick_ = tick;
        startTickSet_ = true;
    }
    if (series_) {
        if (v4TermData* record = series_->Add(static_cast<long>(static_cast<std::int32_t>(tick - startTick_)),
                                              static_cast<long>(now.temperature), now.config.emissivity))
            record->quantum = static_cast<std::int32_t>(now.quantum);
        if (saveResults_ && !series_->SaveResult()) {
            saveResults_ = false;
            ui_->saveResultsCheck->setChecked(false);
            showError(this, "Ошибка сохранения промежуточных результатов.");
        }
    }
    ui_->temperatureEdit->setText(temperatureText(now.temperature));
    if (stored_.log && log_.isOpen())
        log_.write(logLine(platform::localTime(), now.temperature,
                           now.config.emissivity / emissivityDivisor(deviceInfo_.type)));
}

void CKCTestDlg::onWritten()
{
    if (!KCSetPortSpeed(port_, static_cast<char>(link_.snapshot().config.baudRate)))
        return;
    refreshParameterDisplay();
    if (isConnected())
        postMessage(this, WM_KC_NOTIFY, kNotifyIdentified, 0);
}

void CKCTestDlg::refreshParameterDisplay()
{
    std::optional<ModeParameter> parameter;
    if (isConnected()) {
        const KCConfig config = link_.snapshot().config;
        ui_->emissivityLabel->setText(isRatioDevice(deviceInfo_.type) ? "Отношение степеней черноты"
                                                                      : "Степень черноты");
        ui_->emissivityEdit->setText(emissivityText(config.emissivity, deviceInfo_.type));
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

void CKCTestDlg::onSaveResultsToggled(bool on)
{
    saveResults_ = on;
}

void CKCTestDlg::showAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CKCTestDlg::reject()
{
    const auto answer = platform::showMessageBox("Вы действительно желаете завершить работу?", "Завершение работы",
                                                 platform::MessageButtons::YesNo, platform::MessageIcon::Question, this);
    if (answer != platform::MessageAnswer::Yes)
        return;
    platform::setEvent(stopEvent_);
    writeStoredSettings(store_, stored_);
    stopWorkers();
    if (port_ != nullptr) {
        KCClosePort(port_);
        port_ = nullptr;
    }
    QDialog::reject();
}
