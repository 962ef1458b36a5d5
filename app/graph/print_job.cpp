#include "graph/print_job.h"

#include "graph/page_painter.h"
#include "graph/print_header.h"
#include "graph/text_format.h"

#include <QFontDatabase>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>

#include <cmath>
#include <cstdlib>

namespace graph {
namespace {

constexpr double kUnitsPerPoint = 254.0 / 72.0;  // 0.1 mm per typographic point

QFont sizedFont(QFont font, int units)
{
    font.setPixelSize(units);
    font.setWeight(QFont::Normal);
    return font;
}

QString text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

}  // namespace

void setPageFonts(PrintRequest& request)
{
    QFont standard;
    request.defaultFont = sizedFont(standard, static_cast<int>(std::lround(standard.pointSizeF() * kUnitsPerPoint)));
    request.labelFont = sizedFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont), 20);
    QFont courier("Courier");
    courier.setStyleHint(QFont::TypeWriter);
    request.headerFont = sizedFont(courier, 35);
    QFont arial("Arial Cyr");
    arial.setStyleHint(QFont::SansSerif);
    request.titleFont = sizedFont(arial, 25);
}

PrintJob::PrintJob(std::unique_ptr<QPrinter> printer, PrintRequest request)
    : printer_(std::move(printer)), request_(std::move(request))
{
}

PrintJob::~PrintJob() = default;

void PrintJob::PrintThreadProc()
{
    printer_->setDocName(kDocumentName);
    printer_->setFullPage(true);  // the painter's origin at the paper's corner
    QPainter painter;
    if (!painter.begin(printer_.get()))
        return;
    PagePainter page(painter, printer_->resolution() / 254.0);
    PrintPageSetup(page);
    PrintGrid(page);
    PrintSeries(page);
    painter.end();
}

void PrintJob::PrintPageSetup(PagePainter& page)
{
    const QRectF paper = printer_->pageLayout().fullRect(QPageLayout::Millimeter);
    const int width = static_cast<int>(paper.width() * 10);
    const int height = static_cast<int>(paper.height() * 10);
    page.setFont(request_.defaultFont);
    const QSize label = page.textExtent(text(cformat("%ld", request_.valueRangeMax)));
    page.setFont(request_.headerFont);
    const int headerHeight = page.textExtent("Test").height();
    page.setFont(request_.defaultFont);
    frame_ = pageFrame(width, height, label.width(), label.height(), headerHeight);
    PrintHeader(page);
    timeScale_ = std::abs(frame_.plotRight - frame_.plotLeft) /
                 (static_cast<double>(request_.timeTo) - static_cast<double>(request_.timeFrom));
    valueScale_ = std::abs(frame_.plotBottom - frame_.plotTop) /
                  (static_cast<double>(request_.valueTo) - static_cast<double>(request_.valueFrom));
}

void PrintJob::PrintHeader(PagePainter& page)
{
    page.setFont(request_.headerFont);
    const int headerHeight = page.textExtent("Test").height();
    page.setFont(request_.defaultFont);
    page.text(frame_.plotLeft, frame_.top, text(deviceHeaderLine(request_.series)));
    page.text(frame_.plotLeft, secondHeaderLineY(headerHeight),
              text(secondHeaderLine(request_.series, request_.timeTo)));
}

void PrintJob::PrintGrid(PagePainter& page)
{
    const QFont previousFont = page.font();
    const QPen previousPen = page.pen();
    const QPen bigPen(QColor(192, 192, 192), 3);
    const QPen smallPen(QColor(224, 224, 224), 2);
    page.setFont(request_.labelFont);
    const int plotWidth = frame_.plotRight - frame_.plotLeft;
    const int plotHeight = std::abs(frame_.plotBottom - frame_.plotTop);

    if (const std::optional<PrintStep> step = printStep(timeScale_)) {
        for (const AxisLine& line : timeAxisLines(*step, timeScale_, plotWidth, request_.timeFrom)) {
            const int x = frame_.plotLeft + line.offset;
            page.setPen(bigPen);
            page.line(x, frame_.plotBottom - 20, x, frame_.plotTop);
            page.text(x + 5, frame_.plotBottom - 5,
                      text(rangebar::formatValue(static_cast<double>(line.value), request_.timeFormat)));
            page.setPen(smallPen);
            for (int k = 1; k < step->smallLines; ++k) {
                const int small = x + k * step->spacing;
                if (small >= frame_.plotRight)
                    break;
                page.line(small, frame_.plotBottom - 10, small, frame_.plotTop);
            }
        }
    }
    if (const std::optional<PrintStep> step = printStep(valueScale_)) {
        for (const AxisLine& line : valueAxisLines(*step, valueScale_, plotHeight, request_.valueFrom)) {
            const int y = frame_.plotBottom + line.offset;
            page.setPen(bigPen);
            page.line(frame_.plotLeft - 20, y, frame_.plotRight, y);
            const QString label = text(rangebar::formatValue(static_cast<double>(line.value), request_.valueFormat));
            const QSize extent = page.textExtent(label);
            page.text(frame_.plotLeft - extent.width() - 5, y + extent.height() + 5, label);
            page.setPen(smallPen);
            for (int k = 1; k < step->smallLines; ++k) {
                const int small = y + k * step->spacing;
                if (small >= frame_.plotTop)
                    break;
                page.line(frame_.plotLeft - 10, small, frame_.plotRight, small);
            }
        }
    }
    page.setPen(previousPen);
    page.rectangle(frame_.plotLeft, frame_.plotTop, frame_.plotRight, frame_.plotBottom);

    page.setFont(request_.titleFont);
    const QString timeTitle = "Время";
    const QSize timeExtent = page.textExtent(timeTitle);
    page.text(frame_.plotLeft + (frame_.plotRight - timeExtent.width() - frame_.plotLeft) / 2,
              frame_.bottom + (std::abs(frame_.bottom - frame_.plotBottom) - timeExtent.height()) / 2, timeTitle);
    const QString valueTitle = "Температура, °C";
    const QSize valueExtent = page.textExtent(valueTitle);
    page.textReadingDown(frame_.left + (frame_.plotLeft - frame_.left - valueExtent.width()) / 2,
                         frame_.plotBottom + (plotHeight - valueExtent.height()) / 2, valueTitle);
    page.setFont(previousFont);
}

void PrintJob::PrintSeries(PagePainter& page)
{
    PlotScale scale;
    scale.timeFrom = request_.timeFrom;
    scale.timeTo = request_.timeTo;
    scale.timeScale = timeScale_;
    scale.valueFrom = request_.valueFrom;
    scale.valueScale = valueScale_;
    scale.plotLeft = frame_.plotLeft;
    scale.plotBottom = frame_.plotBottom;
    const QPen previous = page.pen();
    page.setPen(QPen(QColor(255, 0, 0), 3));
    QVector<QLine> lines;
    for (const Segment& s : printSeriesSegments(request_.series.records, scale, request_.breakAtGaps))
        lines.append(QLine(s.x1, s.y1, s.x2, s.y2));
    page.lines(lines);
    page.setPen(previous);
}

}  // namespace graph
