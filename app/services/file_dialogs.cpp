#include "services/file_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QStringList>

#include <mutex>
#include <utility>

namespace {

std::mutex g_serviceMutex;
FileDialogService g_service;

std::optional<QString> showQtFileDialog(const FileDialogRequest& request)
{
    QFileDialog dialog(request.parent);
    const bool open = request.kind == FileDialogRequest::Kind::Open;
    dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDirectory(request.directory.isEmpty() ? QDir::currentPath() : request.directory);
    dialog.setNameFilters(nameFiltersOf(request.filter));
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

}  // namespace

FileDialogService setFileDialogService(FileDialogService service)
{
    std::lock_guard<std::mutex> lock(g_serviceMutex);
    return std::exchange(g_service, std::move(service));
}

std::optional<QString> askFileName(const FileDialogRequest& request)
{
    FileDialogService service;
    {
        std::lock_guard<std::mutex> lock(g_serviceMutex);
        service = g_service;
    }
    return service ? service(request) : showQtFileDialog(request);
}

QStringList nameFiltersOf(const QString& filter)
{
    const QStringList parts = filter.split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(';', ' ');
        if (description.isEmpty())
            break;
        filters << (description.contains(patterns) ? description : description + " (" + patterns + ")");
    }
    return filters;
}
