#include "print_dialogs.h"

#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <mutex>
#include <utility>

namespace {

std::mutex g_serviceMutex;
PrintDialogService g_service;

// What the last accepted dialog chose, offered again by the next one.
struct PrinterChoice {
    QString name;
    QPageLayout layout;
    int copies = 1;
};

PrinterChoice& lastChoice()
{
    static PrinterChoice choice;
    return choice;
}

PrintDialogAnswer showQtPrintDialog(const PrintDialogRequest& request)
{
    PrintDialogAnswer answer;
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
        answer.result = PrintDialogAnswer::Result::NoPrinter;
        return answer;
    }
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    PrinterChoice& last = lastChoice();
    if (!last.name.isEmpty()) {
        printer->setPrinterName(last.name);
        printer->setPageLayout(last.layout);
        printer->setCopyCount(last.copies);
    }
    QPrintDialog dialog(printer.get(), request.parent);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (dialog.exec() != QDialog::Accepted)
        return answer;
    last = {printer->printerName(), printer->pageLayout(), printer->copyCount()};
    answer.result = PrintDialogAnswer::Result::Accepted;
    answer.printer = std::move(printer);
    return answer;
}

}  // namespace

PrintDialogService setPrintDialogService(PrintDialogService service)
{
    std::lock_guard<std::mutex> lock(g_serviceMutex);
    return std::exchange(g_service, std::move(service));
}

PrintDialogAnswer askPrinter(const PrintDialogRequest& request)
{
    PrintDialogService service;
    {
        std::lock_guard<std::mutex> lock(g_serviceMutex);
        service = g_service;
    }
    return service ? service(request) : showQtPrintDialog(request);
}
