// One printed page of a graph, built on a worker thread in three steps: the
// page set-up with the header, the grid with its labels, and the series.
// Each print command makes a job of its own, with everything it needs
// copied when the command ran: the rulers' windows and label formats, the
// fonts and a snapshot of the series. The job touches nothing else, so the
// window goes on working, and a second job never disturbs the first.
#pragma once

#include "graph/print_layout.h"
#include "graph/print_snapshot.h"

#include <range_format.h>

#include <QFont>

#include <memory>

class PagePainter;
class QPrinter;

namespace graph {

struct PrintRequest {
    long timeFrom = 0;
    long timeTo = 0;
    long valueFrom = 0;
    long valueTo = 0;
    PrintSnapshot series;
    bool breakAtGaps = false;
    rangebar::ValueFormat timeFormat;   // the time ruler's labels
    rangebar::ValueFormat valueFormat;  // the temperature ruler's labels
    long valueRangeMax = 0;             // the temperature ruler's range maximum
    // Pixel sizes in 0.1 mm.
    QFont defaultFont;  // header lines, and the plot's room for labels
    QFont labelFont;    // axis labels, 2 mm
    QFont headerFont;   // measures the header's line height, 3.5 mm
    QFont titleFont;    // axis titles, 2.5 mm
};

// The fonts of a page, made on the user-interface thread.
void setPageFonts(PrintRequest& request);

class PrintJob {
public:
    static constexpr const char* kDocumentName = "KL_S печать графика";

    PrintJob(std::unique_ptr<QPrinter> printer, PrintRequest request);
    ~PrintJob();
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    // Prints the page on the calling thread; a document that cannot be
    // started ends the job silently.
    void PrintThreadProc();

private:
    void PrintPageSetup(PagePainter& page);
    void PrintHeader(PagePainter& page);
    void PrintGrid(PagePainter& page);
    void PrintSeries(PagePainter& page);

    std::unique_ptr<QPrinter> printer_;
    PrintRequest request_;
    PageFrame frame_;
    double timeScale_ = 0;   // 0.1 mm per ms
    double valueScale_ = 0;  // 0.1 mm per unit
};

}  // namespace graph
