#include "claim/ClaimReportPainter.h"

#include "card/FormatAmount.h"
#include "card/GateLog.h"
#include "card/ProcessKinds.h"
#include "document/OutputFile.h"
#include "resources/StringTable.h"
#include "view/HistoryColumns.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

namespace {

// Sizes in millimetres, the page's content area being 180 x 273 mm.
constexpr double kTitleHeight = 12.0;
constexpr double kInfoLineHeight = 6.0;
constexpr double kGapAfterInfo = 3.0;
constexpr double kRowHeight = 8.0;
constexpr double kFooterHeight = 10.0;
constexpr double kCellPadding = 1.5;
// The total line and the note on rows that do not count, kept together on the last page.
constexpr int kClosingRows = 2;

// A PDF's text layer maps each glyph back to the lowest code point that shares
// it; Noto Sans CJK shares its ideographs' glyphs with the Kangxi radicals, so
// text copied from the file would read "⽇付" for "日付". IPA P Gothic has no
// radicals; Noto stays as the fallback.
const QStringList kFontFamilies = {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")};

struct SReportColumn {
    int titleId;
    double share;           // of the table's width
    Qt::Alignment alignment;
};

const std::array<SReportColumn, 6> kColumns = {{
    {IDS_COL_DATE, 0.14, Qt::AlignHCenter},
    {IDS_REPORT_SECTION, 0.28, Qt::AlignLeft},
    {IDS_REPORT_COMPANY, 0.15, Qt::AlignLeft},
    {IDS_REPORT_AMOUNT, 0.11, Qt::AlignRight},
    {IDS_COL_DESTINATION, 0.16, Qt::AlignLeft},
    {IDS_COL_REMARKS, 0.16, Qt::AlignLeft},
}};
constexpr int kAmountColumn = 3;
// The gate times, when shown, come after the date and take their room from the
// route, the destination and the remarks.
constexpr double kTimeShare = 0.16;

std::vector<SReportColumn> ReportColumns(bool showTime)
{
    std::vector<SReportColumn> columns(kColumns.begin(), kColumns.end());
    if (showTime) {
        columns[1].share -= 0.08;
        columns[4].share -= 0.04;
        columns[5].share -= 0.04;
        columns.insert(columns.begin() + 1, SReportColumn{IDS_COL_TIME, kTimeShare, Qt::AlignHCenter});
    }
    return columns;
}

QString AmountText(int64_t amount)
{
    const auto clamped = static_cast<int32_t>(std::min<int64_t>(amount, std::numeric_limits<int32_t>::max()));
    return FormatAmount(clamped).trimmed();
}

std::vector<QString> RowTexts(const CEntryInfo& entry, bool showTime)
{
    std::vector<QString> texts = {HistoryCellText(entry, 1),
                                  ClaimRoute(entry),
                                  ClaimCompany(entry),
                                  AmountText(AmountMagnitude(entry.amount)),
                                  entry.destination,
                                  entry.remarks};
    if (showTime)
        texts.insert(texts.begin() + 1, GateTimesText(entry));
    return texts;
}

QFont ReportFont(double points, bool bold = false)
{
    QFont font;
    font.setFamilies(kFontFamilies);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Where everything goes on a page of the device, in device pixels.
class CReportGeometry {
public:
    CReportGeometry(const QPagedPaintDevice& device, bool showTime)
        : m_columns(ReportColumns(showTime)), m_bShowTime(showTime), m_mm(device.logicalDpiY() / 25.4)
        , m_width(device.width()), m_height(device.height())
    {
        m_tableTop = Mm(kTitleHeight + 2 * kInfoLineHeight + kGapAfterInfo);
        m_footerTop = m_height - Mm(kFooterHeight);
        const double rowsTop = m_tableTop + Mm(kRowHeight);
        m_rowsPerPage = std::max(kClosingRows + 1, static_cast<int>((m_footerTop - rowsTop) / Mm(kRowHeight)));
    }

    double Mm(double mm) const { return mm * m_mm; }
    double Width() const { return m_width; }
    double TableTop() const { return m_tableTop; }
    double FooterTop() const { return m_footerTop; }
    int RowsPerPage() const { return m_rowsPerPage; }

    // Rows fill the pages in turn; the closing lines go on the page after the last
    // row when they do not fit below it.
    int PageCount(int rows) const
    {
        const int lastRowPage = rows == 0 ? 0 : (rows - 1) / m_rowsPerPage;
        const int used = rows - lastRowPage * m_rowsPerPage;
        return lastRowPage + (m_rowsPerPage - used >= kClosingRows ? 1 : 2);
    }

    // Top of slot n of a page's table body (slot 0 right under the title row).
    double SlotTop(int slot) const { return m_tableTop + Mm(kRowHeight) * (slot + 1); }

    QRectF Cell(int column, double top) const
    {
        double left = 0.0;
        for (int i = 0; i < column; ++i)
            left += m_columns.at(static_cast<size_t>(i)).share * m_width;
        return {left, top, m_columns.at(static_cast<size_t>(column)).share * m_width, Mm(kRowHeight)};
    }

    const std::vector<SReportColumn>& Columns() const { return m_columns; }
    bool ShowsTime() const { return m_bShowTime; }
    int AmountColumn() const { return m_bShowTime ? kAmountColumn + 1 : kAmountColumn; }

private:
    std::vector<SReportColumn> m_columns;
    bool m_bShowTime;
    double m_mm;
    double m_width;
    double m_height;
    double m_tableTop = 0.0;
    double m_footerTop = 0.0;
    int m_rowsPerPage = 0;
};

void DrawCellText(QPainter& painter, const CReportGeometry& g, const QRectF& cell, const QString& text,
                  Qt::Alignment alignment)
{
    const QRectF inner = cell.adjusted(g.Mm(kCellPadding), 0, -g.Mm(kCellPadding), 0);
    const QString shown = painter.fontMetrics().elidedText(text, Qt::ElideRight, static_cast<int>(inner.width()));
    painter.drawText(inner, static_cast<int>(alignment | Qt::AlignVCenter), shown);
}

void PaintPageHeader(QPainter& painter, const CReportGeometry& g, const SClaimReport& report)
{
    painter.setPen(Qt::black);
    painter.setFont(ReportFont(18.0, true));
    painter.drawText(QRectF(0, 0, g.Width(), g.Mm(kTitleHeight)), Qt::AlignCenter, LoadResString(IDS_REPORT_TITLE));
    painter.setFont(ReportFont(10.5));
    const QString idm = report.idm.isEmpty() ? QStringLiteral("-") : report.idm;
    painter.drawText(QRectF(0, g.Mm(kTitleHeight), g.Width(), g.Mm(kInfoLineHeight)), Qt::AlignLeft | Qt::AlignVCenter,
                     LoadResString(IDS_REPORT_PERIOD).arg(report.period.Text()));
    painter.drawText(QRectF(0, g.Mm(kTitleHeight + kInfoLineHeight), g.Width(), g.Mm(kInfoLineHeight)),
                     Qt::AlignLeft | Qt::AlignVCenter, LoadResString(IDS_REPORT_IDM).arg(idm));

    const QRectF titleRow(0, g.TableTop(), g.Width(), g.Mm(kRowHeight));
    painter.fillRect(titleRow, QColor(0xE4, 0xE4, 0xE4));
    painter.setFont(ReportFont(10.0, true));
    for (size_t i = 0; i < g.Columns().size(); ++i) {
        const QRectF cell = g.Cell(static_cast<int>(i), g.TableTop());
        DrawCellText(painter, g, cell, LoadResString(g.Columns().at(i).titleId), Qt::AlignHCenter);
        painter.drawRect(cell);
    }
}

void PaintRow(QPainter& painter, const CReportGeometry& g, const CEntryInfo& entry, double top)
{
    // A row that does not count is printed grey, so the total's difference shows.
    painter.setPen(CountsTowardsClaim(entry) ? QColor(Qt::black) : QColor(0x80, 0x80, 0x80));
    const std::vector<QString> texts = RowTexts(entry, g.ShowsTime());
    for (size_t i = 0; i < g.Columns().size(); ++i)
        DrawCellText(painter, g, g.Cell(static_cast<int>(i), top), texts.at(i), g.Columns().at(i).alignment);
    painter.setPen(QColor(0xA0, 0xA0, 0xA0));
    painter.drawLine(QPointF(0, top + g.Mm(kRowHeight)), QPointF(g.Width(), top + g.Mm(kRowHeight)));
}

void PaintClosing(QPainter& painter, const CReportGeometry& g, const SClaimReport& report, double top)
{
    painter.setPen(QPen(Qt::black, g.Mm(0.4)));
    painter.drawLine(QPointF(0, top), QPointF(g.Width(), top));
    painter.setFont(ReportFont(10.5, true));
    const QRectF amount = g.Cell(g.AmountColumn(), top);
    DrawCellText(painter, g, QRectF(0, top, amount.left(), amount.height()), LoadResString(IDS_REPORT_TOTAL),
                 Qt::AlignRight);
    DrawCellText(painter, g, amount, LoadResString(IDS_AMOUNT_YEN).arg(AmountText(ClaimTotal(report.rows))),
                 Qt::AlignRight);
    const bool anyUnclaimed =
        std::any_of(report.rows.begin(), report.rows.end(), [](const CEntryInfo* e) { return !CountsTowardsClaim(*e); });
    if (anyUnclaimed) {
        painter.setFont(ReportFont(9.0));
        painter.setPen(QColor(0x60, 0x60, 0x60));
        DrawCellText(painter, g, QRectF(0, top + g.Mm(kRowHeight), g.Width(), g.Mm(kRowHeight)),
                     LoadResString(IDS_REPORT_UNCLAIMED_NOTE), Qt::AlignLeft);
    }
}

void PaintPageFooter(QPainter& painter, const CReportGeometry& g, const SClaimReport& report, int page, int pages)
{
    painter.setPen(QPen(Qt::black, 0));
    painter.drawLine(QPointF(0, g.FooterTop() + g.Mm(2)), QPointF(g.Width(), g.FooterTop() + g.Mm(2)));
    painter.setFont(ReportFont(9.0));
    const QRectF line(0, g.FooterTop() + g.Mm(2), g.Width(), g.Mm(kFooterHeight - 2));
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                     LoadResString(IDS_REPORT_PRINT_DATE).arg(report.printDate.toString(QStringLiteral("yyyy/MM/dd"))));
    painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, LoadResString(IDS_REPORT_PAGE).arg(page).arg(pages));
}

} // namespace

void SetClaimPageLayout(QPagedPaintDevice& device)
{
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 12, 15, 12),
                                     QPageLayout::Millimeter));
}

int PaintClaimReport(QPagedPaintDevice& device, const SClaimReport& report)
{
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    const CReportGeometry g(device, report.bShowTime);
    const int rows = static_cast<int>(report.rows.size());
    const int pages = g.PageCount(rows);
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            device.newPage();
        PaintPageHeader(painter, g, report);
        painter.setFont(ReportFont(10.0));
        const int first = page * g.RowsPerPage();
        const int last = std::min(rows, first + g.RowsPerPage());
        for (int row = first; row < last; ++row)
            PaintRow(painter, g, *report.rows.at(static_cast<size_t>(row)), g.SlotTop(row - first));
        if (page == pages - 1)
            PaintClosing(painter, g, report, g.SlotTop(std::max(0, last - first)));
        PaintPageFooter(painter, g, report, page + 1, pages);
    }
    painter.end();
    return pages;
}

namespace {

bool PaintClaimReportPdf(QIODevice& device, const SClaimReport& report)
{
    QPdfWriter writer(&device);
    writer.setResolution(300);
    writer.setTitle(LoadResString(IDS_REPORT_TITLE));
    writer.setCreator(QStringLiteral("Voluni Viewer"));
    SetClaimPageLayout(writer);
    return PaintClaimReport(writer, report) != 0;
}

} // namespace

QByteArray ClaimReportPdf(const SClaimReport& report)
{
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    return PaintClaimReportPdf(buffer, report) ? pdf : QByteArray();
}

bool WriteClaimReportPdf(const QString& path, const SClaimReport& report, QString& error)
{
    QString reason;
    const bool written = WriteOutputFile(
        path, [&report](QIODevice& device) { return PaintClaimReportPdf(device, report); }, reason);
    if (!written) {
        error = path + QStringLiteral(": ") + (reason.isEmpty() ? LoadResString(AFX_IDP_FAILED_TO_SAVE_DOC) : reason);
        return false;
    }
    return true;
}
