#include "windows/qrvx_dlg.h"

#include "windows/about_dlg.h"
#include "windows/error_box.h"
#include "services/app_icon.h"
#include "services/file_dialogs.h"
#include "graph/graph_placement.h"
#include "graph/graph_wnd.h"
#include "windows/qrvx_rules.h"
#include "windows/qrvx_setup.h"
#include "windows/quit_question.h"
#include "rangebar.h"
#include "windows/stale_reading.h"

#include "ui_qrvx_dlg.h"

#include "platform/clock.h"

#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLineEdit>
#include <QStringListModel>
#include <QTextCursor>

namespace {

const char* const kConnectText = "Подключиться";
const char* const kDisconnectText = "Отключиться";
const char* const kGraphTitle = "-- График --";

// The field shows lines as the document's blocks: a CR LF (or a lone LF)
// ends a line, a lone CR shows as nothing.
QString displayedText(QString text)
{
    return text.remove('\r');
}

std::uintptr_t asWParam(long value)
{
    return static_cast<std::uintptr_t>(static_cast<std::intptr_t>(value));
}

}  // namespace

CQRVXDlg::CQRVXDlg(QrvxSession& session, SettingsBackend& top, SettingsBackend& qrvx, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::QRVXDlg>()), top_(top), qrvx_(qrvx), session_(session)
{
    ui_->setupUi(this);
    setWindowIcon(applicationIcon());
    session_.setBoxOwner(static_cast<QWidget*>(this));
    settings_ = readQrvxSettings(top_, qrvx_);

    lowerLimitItems_ = new QStringListModel(this);
    upperLimitItems_ = new QStringListModel(this);
    ui_->lowerLimitCombo->setModel(lowerLimitItems_);
    ui_->upperLimitCombo->setModel(upperLimitItems_);
    // A typed limit stays as typed: no completion from the list.
    ui_->lowerLimitCombo->setCompleter(nullptr);
    ui_->upperLimitCombo->setCompleter(nullptr);
    ui_->lowerLimitCombo->installEventFilter(this);
    ui_->lowerLimitCombo->lineEdit()->installEventFilter(this);

    connect(ui_->setupButton, &QPushButton::clicked, this, &CQRVXDlg::openSetup);
    connect(ui_->connectButton, &QPushButton::clicked, this, &CQRVXDlg::onConnectClicked);
    connect(ui_->aboutButton, &QPushButton::clicked, this, &CQRVXDlg::showAbout);
    connect(ui_->graphButton, &QPushButton::clicked, this, &CQRVXDlg::openGraph);
    connect(ui_->clearButton, &QPushButton::clicked, this, &CQRVXDlg::clearFrameField);
    connect(ui_->saveResultsCheck, &QCheckBox::toggled, &session_, &QrvxSession::setSaveResults);
    connect(ui_->frameRadio, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            displayMode_ = 0;
    });
    connect(ui_->valuesRadio, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            displayMode_ = 1;
    });
    // The note keeps its room while hidden, so the row keeps its shape.
    QSizePolicy notePolicy = ui_->lastValueLabel->sizePolicy();
    notePolicy.setRetainSizeWhenHidden(true);
    ui_->lastValueLabel->setSizePolicy(notePolicy);
    ui_->lastValueLabel->hide();
    staleTimer_.setInterval(500);
    connect(&staleTimer_, &QTimer::timeout, this, &CQRVXDlg::refreshStale);
    // Typing and choosing from the list, not the window's own changes.
    connect(ui_->lowerLimitCombo->lineEdit(), &QLineEdit::textEdited, this, &CQRVXDlg::onLowerLimitEdited);
    connect(ui_->upperLimitCombo->lineEdit(), &QLineEdit::textEdited, this, &CQRVXDlg::onUpperLimitEdited);
    connect(ui_->lowerLimitCombo, qOverload<int>(&QComboBox::activated), this, &CQRVXDlg::onLowerLimitChosen);
    connect(ui_->upperLimitCombo, qOverload<int>(&QComboBox::activated), this, &CQRVXDlg::onUpperLimitChosen);
    connect(&session_, &QrvxSession::valueReceived, this, &CQRVXDlg::onValue);
    connect(&session_, &QrvxSession::resultSavingFailed, this, [this] {
        ui_->saveResultsCheck->setChecked(false);
        showErrorBox(this, "Ошибка сохранения промежуточных результатов.");
    });

    fillLowerLimitList();
    fillUpperLimitList();
    putValues();
}

// The graph goes while the window is whole.
CQRVXDlg::~CQRVXDlg()
{
    graph_.reset();
}

bool CQRVXDlg::event(QEvent* e)
{
    if (e->type() == WindowMessageEvent::eventType()) {
        const auto* message = static_cast<WindowMessageEvent*>(e);
        if (message->message() == WM_QRVX_STARTREAD)
            startReading();
        else if (message->message() == WM_GRAPH_CLOSED && graph_)
            hideGraph();
        return true;
    }
    return QDialog::event(e);
}

// Leaving the lower limit's list refills the upper one from the new limit.
bool CQRVXDlg::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::FocusOut && static_cast<QFocusEvent*>(e)->reason() != Qt::PopupFocusReason
        && (watched == ui_->lowerLimitCombo || watched == ui_->lowerLimitCombo->lineEdit())) {
        if (!ui_->lowerLimitCombo->currentText().isEmpty())
            settings_.lowerLimit = leadingNumber(ui_->lowerLimitCombo->currentText());
        fillUpperLimitList();
    }
    return QDialog::eventFilter(watched, e);
}

void CQRVXDlg::fillLowerLimitList()
{
    QComboBox* list = ui_->lowerLimitCombo;
    if (!list->currentText().isEmpty())
        settings_.lowerLimit = leadingNumber(list->currentText());
    lowerLimitItems_->setStringList(limitListValues(settings_.listStart, settings_.listEnd, settings_.listStep));
    list->setEditText(QString::number(settings_.lowerLimit));
}

void CQRVXDlg::fillUpperLimitList()
{
    QComboBox* list = ui_->upperLimitCombo;
    if (!list->currentText().isEmpty())
        settings_.upperLimit = leadingNumber(list->currentText());
    upperLimitItems_->setStringList(
        upperLimitListValues(settings_.listStart, settings_.listEnd, settings_.listStep, settings_.lowerLimit));
    if (settings_.upperLimit < settings_.lowerLimit)
        settings_.upperLimit = settings_.lowerLimit;
    list->setEditText(QString::number(settings_.upperLimit));
}

void CQRVXDlg::takeValues()
{
    const QString lower = ui_->lowerLimitCombo->currentText();
    const QString upper = ui_->upperLimitCombo->currentText();
    settings_.lowerLimit = lower.isEmpty() ? settings_.listStart : leadingNumber(lower);
    settings_.upperLimit = upper.isEmpty() ? settings_.lowerLimit : leadingNumber(upper);
    displayMode_ = ui_->valuesRadio->isChecked() ? 1 : 0;
    settings_.port = ui_->portEdit->text();
    session_.setSaveResults(ui_->saveResultsCheck->isChecked());
}

void CQRVXDlg::putValues()
{
    ui_->portEdit->setText(settings_.port);
    ui_->lowerLimitCombo->setEditText(QString::number(settings_.lowerLimit));
    ui_->upperLimitCombo->setEditText(QString::number(settings_.upperLimit));
    (displayMode_ == 1 ? ui_->valuesRadio : ui_->frameRadio)->setChecked(true);
    ui_->saveResultsCheck->setChecked(session_.savesResults());
}

void CQRVXDlg::onConnectClicked()
{
    if (session_.isConnected())
        disconnectPort();
    else
        connectPort();
}

void CQRVXDlg::connectPort()
{
    takeValues();
    if (!session_.connectDevice(settings_)) {
        showErrorBox(this, "Ошибка открытия порта");
        return;
    }
    // Cancel at the log question switches the log off, and so it is stored.
    if (settings_.log && !session_.logging())
        settings_.log = false;
    if (session_.series() == nullptr)
        showErrorBox(this, "Ошибка размещения памяти под данные");
    if (graph_) {
        // The time window on the whole run, as in a graph opened now.
        graph_->timeRuler()->SetMin(-5000);
        graph_->timeRuler()->SetMax(0);
        graph_->timeRuler()->SetWinMax(0);
        graph_->timeRuler()->SetWinMin(-5000);
        graph_->setWindowTitle(kGraphTitle);
        graph_->temperatureRuler()->SetMin(settings_.lowerLimit);
        graph_->temperatureRuler()->SetMax(settings_.upperLimit);
    }
    ui_->connectButton->setText(kDisconnectText);
    staleness_ = Staleness(settings_.periodMs);
    staleTimer_.start();
    sendMessage(this, WM_QRVX_STARTREAD, 0, 0);
}

void CQRVXDlg::startReading()
{
    if (!session_.isConnected())
        return;
    clearFrameField();
    session_.startReading();
}

void CQRVXDlg::disconnectPort()
{
    session_.disconnectDevice();
    ui_->connectButton->setText(kConnectText);
    staleTimer_.stop();
    refreshStale();
}

void CQRVXDlg::onValue(const QString& frameText, int value, long timeMs)
{
    appendToFrameField(frameFieldText(displayMode_, frameText, value));
    if (value <= 0)
        return;
    ui_->temperatureEdit->setText(QString::number(value));
    staleness_.reading(platform::tickCount());
    lastValueAt_ = QTime::currentTime();
    refreshStale();
    if (graph_)
        postMessage(graph_.get(), WM_GRAPH_NEWVALUE, asWParam(value), timeMs);
}

// A device that falls silent leaves its last temperature grey, with the time
// it was read, until the next value comes.
void CQRVXDlg::refreshStale()
{
    const bool stale = session_.isConnected() && staleness_.isStale(platform::tickCount());
    showReadingStale(*ui_->temperatureEdit, *ui_->lastValueLabel, stale, lastValueAt_);
}

// Appends to the field, first dropping whole lines from its top when it would
// grow past its limit, and selects what was added.
void CQRVXDlg::appendToFrameField(const QString& text)
{
    QPlainTextEdit* field = ui_->frameText;
    const int keepFrom = frameFieldKeepFrom(shown_, static_cast<int>(text.size()));
    if (keepFrom >= shown_.size() && keepFrom > 0) {
        shown_.clear();
        field->clear();
    } else if (keepFrom > 0) {
        QTextCursor top(field->document());
        top.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor,
                         static_cast<int>(shown_.left(keepFrom).count('\n')));
        top.removeSelectedText();
        shown_.remove(0, keepFrom);
    }
    shown_ += text;
    QTextCursor end(field->document());
    end.movePosition(QTextCursor::End);
    const int from = end.position();
    end.insertText(displayedText(text));
    end.setPosition(from);
    end.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    field->setTextCursor(end);
    field->ensureCursorVisible();
}

void CQRVXDlg::clearFrameField()
{
    ui_->frameText->textCursor().removeSelectedText();
    ui_->frameText->clear();
    shown_.clear();
}

void CQRVXDlg::hideGraph()
{
    if (graph_->isVisible())
        graph::storePlacement(qrvx_, graph::GraphKind::Temperature, *graph_);
    graph_->hide();
}

void CQRVXDlg::openGraph()
{
    QString shownFile;
    if (!session_.isConnected()) {
        FileDialogRequest request;
        request.kind = FileDialogRequest::Kind::Open;
        const QString here = QDir::currentPath();
        request.directory = QDir(here).isReadable() ? here : QDir::rootPath();
        request.defaultSuffix = "tdf";
        request.filter = "ZodarAver Files (*.tdf)|*.tdf|All Files (*.*)|*.*||";
        request.parent = this;
        const std::optional<QString> file = askFileName(request);
        if (!file)
            return;
        if (!session_.viewSeriesFile(*file)) {
            showErrorBox(this, "Ошибка получения данных из файла");
            return;
        }
        shownFile = QFileInfo(*file).fileName();
    }
    const bool created = !graph_;
    if (created) {
        graph_ = std::make_unique<CGraphWnd>(graph::GraphKind::Temperature, this);
        graph::placeNewGraph(*graph_, qrvx_, graph::GraphKind::Temperature);
    }
    // A saved series says which file it is and shows no live reading.
    graph_->setWindowTitle(shownFile.isEmpty() ? QString(kGraphTitle) : QString("%1 %2").arg(kGraphTitle, shownFile));
    if (!shownFile.isEmpty())
        graph_->forgetReading();
    TermDataFile* series = session_.series();
    sendMessage(graph_.get(), WM_GRAPH_SETLIMITS, asWParam(series ? series->GetMin() : 0),
                series ? series->GetMax() : 0);
    sendMessage(graph_.get(), WM_GRAPH_SETSERIES, reinterpret_cast<std::uintptr_t>(series), 0);
    sendMessage(graph_.get(), WM_GRAPH_SETSPAN, asWParam(settings_.timeCoeffMs), 0);
    if (created) {
        takeValues();
        graph_->temperatureRuler()->SetWinMin(settings_.lowerLimit);
        graph_->temperatureRuler()->SetWinMax(settings_.upperLimit);
    }
    if (graph_->isHidden())
        graph_->show();
}

void CQRVXDlg::openSetup()
{
    CQRVXSetup setup(settings_, this);
    if (setup.exec() != QDialog::Accepted)
        return;
    settings_ = setup.values();
    fillLowerLimitList();
    fillUpperLimitList();
    putValues();
    if (graph_)
        sendMessage(graph_.get(), WM_GRAPH_SETSPAN, asWParam(settings_.timeCoeffMs), 0);
}

void CQRVXDlg::onLowerLimitEdited()
{
    if (!graph_)
        return;
    takeValues();
    CRangeBar* ruler = graph_->temperatureRuler();
    if (settings_.lowerLimit != ruler->GetMin() && settings_.lowerLimit < settings_.upperLimit)
        ruler->SetMin(settings_.lowerLimit);
}

void CQRVXDlg::onUpperLimitEdited()
{
    if (!graph_)
        return;
    takeValues();
    CRangeBar* ruler = graph_->temperatureRuler();
    if (settings_.upperLimit != ruler->GetMax() && settings_.lowerLimit < settings_.upperLimit)
        ruler->SetMax(settings_.upperLimit);
}

void CQRVXDlg::onLowerLimitChosen()
{
    if (!graph_)
        return;
    takeValues();
    CRangeBar* ruler = graph_->temperatureRuler();
    if (settings_.lowerLimit != ruler->GetMin())
        ruler->SetMin(settings_.lowerLimit);
}

void CQRVXDlg::onUpperLimitChosen()
{
    if (!graph_)
        return;
    takeValues();
    CRangeBar* ruler = graph_->temperatureRuler();
    if (settings_.upperLimit != ruler->GetMax())
        ruler->SetMax(settings_.upperLimit);
}

void CQRVXDlg::showAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CQRVXDlg::reject()
{
    if (!operatorConfirmsQuit(this))
        return;
    // The limits as the lists show them, typed or chosen.
    takeValues();
    writeQrvxSettings(top_, qrvx_, settings_);
    session_.close();
    if (graph_ && graph_->isVisible())
        graph::storePlacement(qrvx_, graph::GraphKind::Temperature, *graph_);
    graph_.reset();
    QDialog::reject();
}
