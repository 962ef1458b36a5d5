#include "settings/dev_config.h"

#include "settings/comm_page.h"
#include "settings/dev_page.h"
#include "settings/prog_page.h"

#include "ui_dev_config.h"

#include <QPushButton>

CDevConfig::CDevConfig(const SheetValues& values, const DeviceFacts* device, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::DevConfig>()), values_(values), working_(values.config)
{
    ui_->setupUi(this);
    // Modal to the window that opened it; the graph windows stay usable.
    setWindowModality(Qt::WindowModal);
    ui_->buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    ui_->buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    if (device != nullptr) {
        ui_->pages->addTab(new CDevPage(working_, *device), QStringLiteral("Пирометр"));
    }
    commPage_ = new CCommPage(working_, values.comm);
    ui_->pages->addTab(commPage_, QStringLiteral("Связь"));
    progPage_ = new CProgPage(values.program);
    ui_->pages->addTab(progPage_, QStringLiteral("Программа"));
    ui_->pages->setCurrentIndex(0);
    connect(ui_->pages, &QTabWidget::currentChanged, this, &CDevConfig::onCurrentChanged);
}

CDevConfig::~CDevConfig() = default;

SettingsPage* CDevConfig::pageAt(int index) const
{
    return static_cast<SettingsPage*>(ui_->pages->widget(index));
}

bool CDevConfig::pageMayBeLeft(int index)
{
    const auto problem = pageAt(index)->check();
    if (!problem)
        return true;
    if (ui_->pages->currentIndex() != index) {
        QSignalBlocker block(ui_->pages);
        ui_->pages->setCurrentIndex(index);
    }
    currentPage_ = index;
    reportProblem(*problem, this);
    return false;
}

void CDevConfig::onCurrentChanged(int index)
{
    // The tab has switched already; a page that may not be left is shown again.
    if (!pageMayBeLeft(currentPage_))
        return;
    currentPage_ = index;
}

void CDevConfig::accept()
{
    if (!pageMayBeLeft(ui_->pages->currentIndex()))
        return;
    for (int i = 0; i < ui_->pages->count(); ++i)
        if (!pageMayBeLeft(i))
            return;
    for (int i = 0; i < ui_->pages->count(); ++i)
        pageAt(i)->store();
    values_.config = working_;
    values_.comm = commPage_->settings();
    values_.program = progPage_->settings();
    QDialog::accept();
}
