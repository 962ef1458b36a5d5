#include "settings/device_find.h"

#include "ui_device_find.h"

#include "platform/message_box.h"

#include <kcmb.h>

#include <QPushButton>

namespace {

constexpr int kPointRole = Qt::UserRole;

QString baudName(unsigned code)
{
    return QString::fromUtf8(KCGetBaudRateName(static_cast<unsigned short>(code)));
}

}  // namespace

CDeviceFind::CDeviceFind(const QString& portName, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::DeviceFind>()),
      portName_(portName),
      search_([this](unsigned kind, std::intptr_t point) { postMessage(this, WM_FIND_NOTIFY, kind, point); })
{
    ui_->setupUi(this);
    ui_->buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    ui_->buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    ui_->portEdit->setText(portName_);
    ui_->progress->setRange(0, kSearchSteps);
    ui_->progress->setValue(0);
    ui_->speedEdit->setText(baudName(baudCode_));
    ui_->addressEdit->setText(QString::number(address_));
    ui_->buttons->button(QDialogButtonBox::Ok)->setEnabled(false);

    sortedFound_.setSourceModel(&found_);
    sortedFound_.setSortCaseSensitivity(Qt::CaseInsensitive);
    sortedFound_.sort(0);
    ui_->foundList->setModel(&sortedFound_);
    connect(ui_->foundList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CDeviceFind::onSelectionChanged);
    connect(ui_->searchButton, &QPushButton::clicked, this, &CDeviceFind::onSearchClicked);
}

CDeviceFind::~CDeviceFind() = default;

bool CDeviceFind::event(QEvent* e)
{
    if (e->type() == WindowMessageEvent::eventType()) {
        const auto* message = static_cast<WindowMessageEvent*>(e);
        if (message->message() == WM_FIND_NOTIFY) {
            handleReport(static_cast<unsigned>(message->wParam()), message->lParam());
            return true;
        }
    }
    return QDialog::event(e);
}

void CDeviceFind::onSearchClicked()
{
    if (search_.searching())
        stopSearch();
    else
        startSearch();
}

void CDeviceFind::startSearch()
{
    // The button stays disabled until a stopped worker has returned, so a
    // new search never finds the port still held by the last one.
    if (!search_.start(portName_.toStdString(), ui_->quickCheck->isChecked()))
        return;
    ui_->searchButton->setText(QStringLiteral("Остановить"));
    ui_->buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    found_.clear();
    ui_->foundList->setEnabled(false);
    ui_->outcomeLabel->clear();
}

void CDeviceFind::stopSearch()
{
    search_.stop();
    ui_->searchButton->setText(QStringLiteral("Искать"));
    ui_->searchButton->setEnabled(!search_.running());
    ui_->foundList->setEnabled(true);
}

void CDeviceFind::handleReport(unsigned kind, std::intptr_t point)
{
    switch (kind) {
    case kSearchFound: addFound(point); break;
    case kSearchProgress:
        showPoint(point);
        ui_->progress->setValue(searchProgress(point));
        break;
    case kSearchEnded:
        stopSearch();
        reportEnd(static_cast<unsigned>(point));
        break;
    case kSearchGone:
        search_.join();
        ui_->searchButton->setEnabled(true);
        ui_->buttons->setEnabled(true);
        if (pendingResult_) {
            const int result = *pendingResult_;
            pendingResult_.reset();
            QDialog::done(result);
        }
        break;
    default: break;
    }
}

void CDeviceFind::reportEnd(unsigned end)
{
    switch (end) {
    case kSearchComplete:
        ui_->outcomeLabel->setText(QStringLiteral("Поиск завершён. Найдено приборов: %1").arg(found_.rowCount()));
        break;
    case kSearchPortHeld:
        platform::showMessageBox(QStringLiteral("Порт %1 занят этой программой: через него идёт опрос прибора.\n"
                                                "Отключитесь от прибора и повторите поиск.")
                                     .arg(portName_)
                                     .toStdString(),
                                 "Ошибка", platform::MessageButtons::Ok, platform::MessageIcon::Error, this);
        break;
    default:
        platform::showMessageBox("Ошибка открытия порта.\nВыполнить поиск невозможно.", "Ошибка",
                                 platform::MessageButtons::Ok, platform::MessageIcon::Error, this);
        break;
    }
}

void CDeviceFind::addFound(std::intptr_t point)
{
    auto* item = new QStandardItem(QStringLiteral("%1  бит/сек. - %2")
                                       .arg(baudName(baudCodeOfPoint(point)))
                                       .arg(addressOfPoint(point)));
    item->setData(QVariant::fromValue<qlonglong>(point), kPointRole);
    found_.appendRow(item);
}

void CDeviceFind::showPoint(std::intptr_t point)
{
    ui_->addressEdit->setText(QString::number(addressOfPoint(point)));
    ui_->speedEdit->setText(baudName(baudCodeOfPoint(point)));
}

std::optional<std::intptr_t> CDeviceFind::selectedPoint() const
{
    const QModelIndexList rows = ui_->foundList->selectionModel()->selectedIndexes();
    if (rows.isEmpty())
        return std::nullopt;
    return static_cast<std::intptr_t>(rows.first().data(kPointRole).toLongLong());
}

void CDeviceFind::onSelectionChanged()
{
    const auto point = selectedPoint();
    if (point)
        showPoint(*point);
    ui_->buttons->button(QDialogButtonBox::Ok)->setEnabled(point.has_value());
}

void CDeviceFind::accept()
{
    if (const auto point = selectedPoint()) {
        address_ = static_cast<std::uint16_t>(addressOfPoint(*point));
        baudCode_ = static_cast<std::uint16_t>(baudCodeOfPoint(*point));
    }
    closeWhenWorkerGone(QDialog::Accepted);
}

void CDeviceFind::reject()
{
    closeWhenWorkerGone(QDialog::Rejected);
}

void CDeviceFind::closeWhenWorkerGone(int result)
{
    search_.stop();
    if (!search_.running()) {
        search_.join();
        QDialog::done(result);
        return;
    }
    // The worker ends within one reply time-out; its last report closes the dialog.
    pendingResult_ = result;
    ui_->searchButton->setEnabled(false);
    ui_->buttons->setEnabled(false);
}
