#include "settings/comm_page.h"

#include "settings/comm_rules.h"
#include "settings/device_find.h"
#include "settings/port_choices.h"
#include "settings/value_text.h"

#include "ui_comm_page.h"

#include "platform/device_names.h"

namespace {

constexpr int kLowestAddress = 1;
constexpr int kHighestAddress = 255;

}  // namespace

CCommPage::CCommPage(KCConfig& config, const CommSettings& comm, QWidget* parent)
    : SettingsPage(parent), ui_(std::make_unique<Ui::CommPage>()), config_(config), comm_(comm)
{
    ui_->setupUi(this);
    fillPorts();
    fillSpeeds();
    ui_->addressEdit->setText(QString::number(config_.address));
    ui_->timeoutEdit->setText(numberText(timeoutSeconds(config_.timeout)));

    const std::pair<QCheckBox*, std::uint8_t> lines[] = {{ui_->sendDtrCheck, comm_.sendDTR},
                                                         {ui_->sendRtsCheck, comm_.sendRTS},
                                                         {ui_->recvDtrCheck, comm_.recvDTR},
                                                         {ui_->recvRtsCheck, comm_.recvRTS}};
    for (const auto& [box, state] : lines)
        box->setCheckState(static_cast<Qt::CheckState>(checkStateOfLine(state)));
    updateFlowControls();

    connect(ui_->autoFlowRadio, &QRadioButton::clicked, this, [this] { setAutomaticFlow(true); });
    connect(ui_->manualFlowRadio, &QRadioButton::clicked, this, [this] { setAutomaticFlow(false); });
    connect(ui_->searchButton, &QPushButton::clicked, this, &CCommPage::searchDevice);
}

CCommPage::~CCommPage() = default;

void CCommPage::fillPorts()
{
    showPortChoices(*ui_->portCombo, portChoices(platform::listDevicePorts()), comm_.portName);
}

void CCommPage::fillSpeeds()
{
    for (unsigned code = 0; code < kOfferedBaudCodes; ++code)
        ui_->speedCombo->addItem(QString::fromUtf8(KCGetBaudRateName(static_cast<unsigned short>(code))), code);
    selectSpeed(config_.baudRate);
}

void CCommPage::selectSpeed(unsigned code)
{
    ui_->speedCombo->setCurrentIndex(ui_->speedCombo->findData(code));
}

void CCommPage::setAutomaticFlow(bool on)
{
    comm_.automaticFlow = on;
    updateFlowControls();
}

void CCommPage::updateFlowControls()
{
    ui_->autoFlowRadio->setChecked(comm_.automaticFlow);
    ui_->manualFlowRadio->setChecked(!comm_.automaticFlow);
    // With automatic flow the boxes keep and show their states but cannot be changed.
    for (QCheckBox* box : {ui_->sendDtrCheck, ui_->sendRtsCheck, ui_->recvDtrCheck, ui_->recvRtsCheck})
        box->setEnabled(!comm_.automaticFlow);
}

std::optional<PageProblem> CCommPage::check() const
{
    const auto address = parseInteger(ui_->addressEdit->text());
    if (!address)
        return PageProblem{notAnIntegerMessage(), ui_->addressEdit};
    if (*address < kLowestAddress || *address > kHighestAddress)
        return PageProblem{integerRangeMessage(kLowestAddress, kHighestAddress), ui_->addressEdit};
    const auto timeout = parseNumber(ui_->timeoutEdit->text());
    if (!timeout)
        return PageProblem{notANumberMessage(), ui_->timeoutEdit};
    if (const auto problem = timeoutProblem(*timeout))
        return PageProblem{*problem, ui_->timeoutEdit};
    return std::nullopt;
}

void CCommPage::store()
{
    comm_.portName = portChosenIn(*ui_->portCombo, comm_.portName);
    if (ui_->speedCombo->currentIndex() >= 0)
        config_.baudRate = static_cast<unsigned short>(ui_->speedCombo->currentData().toUInt());
    config_.address = static_cast<unsigned short>(*parseInteger(ui_->addressEdit->text()));
    config_.timeout = timeoutWord(*parseNumber(ui_->timeoutEdit->text()));
    comm_.sendDTR = lineOfCheckState(ui_->sendDtrCheck->checkState());
    comm_.sendRTS = lineOfCheckState(ui_->sendRtsCheck->checkState());
    comm_.recvDTR = lineOfCheckState(ui_->recvDtrCheck->checkState());
    comm_.recvRTS = lineOfCheckState(ui_->recvRtsCheck->checkState());
}

void CCommPage::searchDevice()
{
    comm_.portName = portChosenIn(*ui_->portCombo, comm_.portName);
    CDeviceFind find(comm_.portName, this);
    if (find.exec() != QDialog::Accepted)
        return;
    // Only the address and the speed follow the search; what else the operator
    // typed on the page stays. The working copy changes when the page stores.
    ui_->addressEdit->setText(QString::number(find.address()));
    selectSpeed(find.baudCode());
}
