#include "windows/about_dlg.h"

#include "services/app_icon.h"

#include "ui_about_dlg.h"

QString programVersion()
{
#if defined(KL_VERSION_MAJOR) && defined(KL_VERSION_MINOR) && defined(KL_VERSION_PATCH) && defined(KL_VERSION_TWEAK)
    return QString::asprintf("%u.%u.%u.%u", KL_VERSION_MAJOR, KL_VERSION_MINOR, KL_VERSION_PATCH, KL_VERSION_TWEAK);
#else
    return "0.0.0.0";
#endif
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::AboutDlg>())
{
    ui_->setupUi(this);
    // Modal to the window that opened it; the graph windows stay usable.
    setWindowModality(Qt::WindowModal);
    ui_->iconLabel->setPixmap(applicationIcon().pixmap(32, 32));
    ui_->productVersionLabel->setText(programVersion());
    ui_->fileVersionLabel->setText(programVersion());
}

CAboutDlg::~CAboutDlg() = default;
