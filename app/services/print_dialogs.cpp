#include "services/print_dialogs.h"

#include <QDir>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <mutex>
#include <utility>

namespace {

std::mutex g_serviceMutex;
PrintDialogService g_service;

// What the last accepted dialog chose, offered again by the next one: a
// printer by name, or a PDF file.
struct PrinterChoice {
    QString name;
    QString pdfFile;
    QPageLayout layout;
    int copies = 1;
};

PrinterChoice& lastChoice()
{
    static PrinterChoice choice;
    return choice;
}

// The printer the dialog starts with: the last choice, else the system's
// default printer, else a PDF file in the working folder, which every machine
// can print to.
void presetPrinter(QPrinter& printer)
{
    const PrinterChoice& last = lastChoice();
    if (!last.name.isEmpty() || !last.pdfFile.isEmpty()) {
        if (last.pdfFile.isEmpty())
            printer.setPrinterName(last.name);
        else
            printer.setOutputFileName(last.pdfFile);
        printer.setPageLayout(last.layout);
        printer.setCopyCount(last.copies);
        return;
    }
    if (QPrinterInfo::availablePrinterNames().isEmpty())
        printer.setOutputFileName(QDir::current().absoluteFilePath(QStringLiteral("KL_S.pdf")));
}

PrintDialogAnswer showQtPrintDialog(const PrintDialogRequest& request)
{
    PrintDialogAnswer answer;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    presetPrinter(*printer);
    if (!printer->isValid()) {
        answer.result = PrintDialogAnswer::Result::NoPrinter;
        return answer;
    }
    QPrintDialog dialog(printer.get(), request.parent);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (dialog.exec() != QDialog::Accepted)
        return answer;
    const bool toPdf = printer->outputFormat() == QPrinter::PdfFormat;
    lastChoice() = {toPdf ? QString() : printer->printerName(), toPdf ? printer->outputFileName() : QString(),
            printer->pageLayout(), printer->copyCount()};
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
