// The open-file and save-as dialogs of the program as a replaceable service,
// like the message boxes: the program shows Qt's file dialog, tests install a
// service that records the request and answers as scripted.
#pragma once

#include <QString>

#include <functional>
#include <optional>

class QWidget;

struct FileDialogRequest {
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    // Folder the dialog starts in; empty for the current directory.
    QString directory;
    // Name proposed in a save dialog.
    QString fileName;
    // Extension added to a name typed without one ("tdf", "log").
    QString defaultSuffix;
    // Filters as the Windows common dialogs write them: "Name|*.ext|...||".
    QString filter;
    QWidget* parent = nullptr;
};

// The chosen file's path, or none when the operator cancelled. An open dialog
// accepts only existing files; a save dialog asks before overwriting one.
// Neither changes the program's current directory.
using FileDialogService = std::function<std::optional<QString>(const FileDialogRequest&)>;

// Installs the service (an empty one restores Qt's dialog) and returns the one
// it replaces.
FileDialogService setFileDialogService(FileDialogService service);

std::optional<QString> askFileName(const FileDialogRequest& request);

// "A (*.a)|*.a|B|*.b||" as Qt's name filters: {"A (*.a)", "B (*.b)"}; a
// description that already shows its patterns is kept as it is.
QStringList nameFiltersOf(const QString& filter);
