// The print dialog of the program as a replaceable service, like the file
// dialogs: the program shows Qt's print dialog, tests install a service that
// answers with a printer of their own (a PDF file, say).
#pragma once

#include <functional>
#include <memory>

class QPrinter;
class QWidget;

struct PrintDialogRequest {
    QWidget* parent = nullptr;
};

struct PrintDialogAnswer {
    enum class Result {
        Accepted,   // `printer` is set up as the operator chose
        Cancelled,  // nothing to do
        NoPrinter,  // not even a PDF file can be printed
    };
    Result result = Result::Cancelled;
    std::unique_ptr<QPrinter> printer;
};

// The dialog offers neither a selection nor page numbers; besides the
// printers it offers printing to a PDF file, and starts with that on a machine
// without a printer. The choice of the last accepted dialog is offered again.
using PrintDialogService = std::function<PrintDialogAnswer(const PrintDialogRequest&)>;

// Installs the service (an empty one restores Qt's dialog) and returns the one
// it replaces.
PrintDialogService setPrintDialogService(PrintDialogService service);

PrintDialogAnswer askPrinter(const PrintDialogRequest& request);
