#include "claim/ClaimReportPainter.h"

#include "card/ProcessKinds.h"
#include "claim/ClaimReportColumns.h"
#include "document/OutputFile.h"
#include "resources/StringTable.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>

#include <algorithm>
#include <array>
#include <numeric>

namespace {

// Sizes in millimetres, the page's content area being 180 x 273 mm.
constexpr double kTitleHeight = 12.0;
constexpr double kInfoLineHeight = 6.0;
constexpr double kFieldHeight = 7.0;
constexpr int kFieldsBesideStamps = 4;
constexpr double kFieldLabelWidth = 22.0;
constexpr double kFieldsMaxWidth = 95.0;
constexpr double kGapAfterInfo = 3.0;
constexpr double kGapBeforePeriod = 1.5;
constexpr double kRowHeight = 8.0;
constexpr double kFooterHeight = 10.0;
constexpr double kCellPadding = 1.5;
constexpr double kStampWidth = 20.0;
constexpr double kStampTitleHeight = 5.0;
constexpr double kStampBoxHeight = kStampWidth; // square, for a round seal
constexpr double kStampGap = 5.0;

// A PDF's text layer maps each glyph back to the lowest code point that shares
// it; Noto Sans CJK shares its ideographs' glyphs with the Kangxi radicals, so
// text copied from the file would read "⽇付" for "日付". IPA P Gothic has no
// radicals; Noto stays as the fallback.
const QStringList kFontFamilies = {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")};

QFont ReportFont(double points, bool bold = false)
{
    QFont font;
    font.setFamilies(kFontFamilies);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QString DayText(QDate day)
{
    return day.toString(QStringLiteral("yyyy/MM/dd"));
}

// The lines text takes within width: broken between words, or anywhere in a
// word wider than the line (a Japanese remark has no spaces).
QStringList WrapLines(const QString& text, const QFont& font, QPaintDevice* device, double width)
{
    QString flowing = text;
    flowing.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(flowing, font, device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << flowing.mid(line.textStart(), line.textLength()).remove(QChar::LineSeparator).trimmed();
    }
    layout.endLayout();
    if (lines.isEmpty())
        lines << QString();
    return lines;
}

// A field of the header: its label, and what is filled in.
struct SHeaderField {
    int labelId;
    QString value;
};

// Where everything goes on the pages of the device, in device pixels, and
// which rows go on which page: a row stays whole on one page.
class CReportLayout {
public:
    CReportLayout(QPagedPaintDevice& device, const SClaimReport& report);

    double Mm(double mm) const { return mm * m_mm; }
    double Width() const { return m_width; }
    double FooterTop() const { return m_footerTop; }
    const QFont& RowFont() const { return m_rowFont; }
    double LineSpacing() const { return m_lineSpacing; }

    // The table's title row: right under the full header on the first page, the short one after.
    double TableTop(int page) const { return page == 0 ? m_firstTableTop : m_nextTableTop; }
    // The fields beside the stamp boxes, or the boxes when they are the taller.
    double FieldsHeight() const { return m_fieldsHeight; }
    double StampsLeft() const { return m_width - Mm(kStampWidth) * static_cast<double>(m_stampCount); }

    int PageCount() const { return static_cast<int>(m_pages.size()); }
    // The rows of page, [first, last).
    std::pair<size_t, size_t> PageRows(int page) const { return m_pages.at(static_cast<size_t>(page)); }
    double RowHeight(size_t row) const { return m_rowHeights.at(row); }
    const std::vector<QStringList>& CellLines(size_t row) const { return m_cellLines.at(row); }

    QRectF Cell(size_t column, double top, double height) const
    {
        return {m_columnLefts.at(column), top, m_columnLefts.at(column + 1) - m_columnLefts.at(column), height};
    }

    double ClosingHeight() const { return m_closingHeight; }
    bool ShowsTime() const { return m_bShowTime; }
    const std::vector<SReportColumn>& Columns() const { return ClaimReportColumns(m_bShowTime); }

private:
    void MeasureRows(const SClaimReport& report);
    void Paginate();

    QPaintDevice* m_pDevice;
    bool m_bShowTime;
    double m_mm;
    double m_width;
    double m_footerTop;
    double m_fieldsHeight;
    double m_firstTableTop;
    double m_nextTableTop;
    int m_stampCount;
    QFont m_rowFont;
    double m_lineSpacing;
    double m_closingHeight;
    std::vector<double> m_columnLefts;
    std::vector<double> m_rowHeights;
    std::vector<std::vector<QStringList>> m_cellLines;
    std::vector<std::pair<size_t, size_t>> m_pages;
};

CReportLayout::CReportLayout(QPagedPaintDevice& device, const SClaimReport& report)
    : m_pDevice(&device)
    , m_bShowTime(report.bShowTime)
    , m_mm(device.logicalDpiY() / 25.4)
    , m_width(device.width())
    , m_footerTop(device.height() - Mm(kFooterHeight))
    , m_stampCount(static_cast<int>(report.header.StampTitles().size()))
    , m_rowFont(ReportFont(10.0))
    , m_lineSpacing(QFontMetricsF(m_rowFont, &device).lineSpacing())
{
    // Four fields beside the stamps, then 目的/用件, 期間 and the card across the page.
    m_fieldsHeight = Mm(std::max(kFieldsBesideStamps * kFieldHeight,
                                 m_stampCount > 0 ? kStampTitleHeight + kStampBoxHeight : 0.0));
    m_firstTableTop = m_fieldsHeight +
        Mm(kTitleHeight + kFieldHeight + kGapBeforePeriod + 2 * kInfoLineHeight + kGapAfterInfo);
    m_nextTableTop = Mm(kTitleHeight + kInfoLineHeight + kGapAfterInfo);

    const std::vector<SReportColumn>& columns = Columns();
    const double shares = std::accumulate(columns.begin(), columns.end(), 0.0,
                                          [](double sum, const SReportColumn& column) { return sum + column.width; });
    m_columnLefts.push_back(0.0);
    for (const SReportColumn& column : columns)
        m_columnLefts.push_back(m_columnLefts.back() + column.width / shares * m_width);

    const bool anyUnclaimed = std::any_of(report.rows.begin(), report.rows.end(),
                                          [](const CEntryInfo* e) { return !CountsTowardsClaim(*e); });
    const int closingLines = 1 + (anyUnclaimed ? 1 : 0) + (report.unread.nCount > 0 ? 1 : 0);
    m_closingHeight = Mm(kRowHeight) * closingLines;

    MeasureRows(report);
    Paginate();
}

void CReportLayout::MeasureRows(const SClaimReport& report)
{
    const std::vector<SReportColumn>& columns = Columns();
    // A row taller than a page's table is cut at the page's foot.
    const double tallest = m_footerTop - m_nextTableTop - Mm(kRowHeight) - m_closingHeight;
    for (const CEntryInfo* entry : report.rows) {
        std::vector<QStringList> cells;
        qsizetype lines = 1;
        for (size_t i = 0; i < columns.size(); ++i) {
            const QString text = columns[i].text(*entry);
            if (columns[i].wraps) {
                const double width = Cell(i, 0, 0).width() - 2 * Mm(kCellPadding);
                cells.push_back(WrapLines(text, m_rowFont, m_pDevice, width));
                lines = std::max(lines, cells.back().size());
            } else {
                cells.push_back({text});
            }
        }
        const double height = static_cast<double>(lines) * m_lineSpacing + 2 * Mm(kCellPadding);
        m_rowHeights.push_back(std::min(std::max(Mm(kRowHeight), height), tallest));
        m_cellLines.push_back(std::move(cells));
    }
}

void CReportLayout::Paginate()
{
    size_t first = 0;
    double top = TableTop(0) + Mm(kRowHeight);
    for (size_t row = 0; row < m_rowHeights.size(); ++row) {
        if (top + m_rowHeights[row] > m_footerTop && row > first) {
            m_pages.emplace_back(first, row);
            first = row;
            top = TableTop(static_cast<int>(m_pages.size())) + Mm(kRowHeight);
        }
        top += m_rowHeights[row];
    }
    m_pages.emplace_back(first, m_rowHeights.size());
    // The closing lines go on a page of their own when they do not fit below the last row.
    if (top + m_closingHeight > m_footerTop)
        m_pages.emplace_back(m_rowHeights.size(), m_rowHeights.size());
}

void DrawCellText(QPainter& painter, const CReportLayout& g, const QRectF& cell, const QString& text,
                  Qt::Alignment alignment)
{
    const QRectF inner = cell.adjusted(g.Mm(kCellPadding), 0, -g.Mm(kCellPadding), 0);
    const QString shown = painter.fontMetrics().elidedText(text, Qt::ElideRight, static_cast<int>(inner.width()));
    painter.drawText(inner, static_cast<int>(alignment | Qt::AlignVCenter), shown);
}

// A label, and the value on a line: an empty value leaves the line to write on.
void PaintField(QPainter& painter, const CReportLayout& g, const SHeaderField& field, double top, double right)
{
    const double height = g.Mm(kFieldHeight);
    painter.setPen(Qt::black);
    painter.setFont(ReportFont(10.0));
    painter.drawText(QRectF(0, top, g.Mm(kFieldLabelWidth), height - g.Mm(1)), Qt::AlignLeft | Qt::AlignBottom,
                     LoadResString(field.labelId));
    const QRectF value(g.Mm(kFieldLabelWidth), top, right - g.Mm(kFieldLabelWidth), height);
    painter.setFont(ReportFont(10.5));
    const QRectF text = value.adjusted(g.Mm(1), 0, -g.Mm(1), -g.Mm(1));
    painter.drawText(text, Qt::AlignLeft | Qt::AlignBottom,
                     painter.fontMetrics().elidedText(field.value, Qt::ElideRight, static_cast<int>(text.width())));
    painter.setPen(QPen(Qt::black, g.Mm(0.2)));
    painter.drawLine(value.bottomLeft(), value.bottomRight());
}

// Square boxes with their titles above, the last at the right margin.
void PaintStamps(QPainter& painter, const CReportLayout& g, const QStringList& titles, double top)
{
    painter.setPen(QPen(Qt::black, g.Mm(0.25)));
    painter.setFont(ReportFont(8.5));
    for (qsizetype i = 0; i < titles.size(); ++i) {
        const double left = g.StampsLeft() + g.Mm(kStampWidth) * static_cast<double>(i);
        const QRectF title(left, top, g.Mm(kStampWidth), g.Mm(kStampTitleHeight));
        painter.drawRect(title);
        painter.drawRect(QRectF(left, title.bottom(), g.Mm(kStampWidth), g.Mm(kStampBoxHeight)));
        DrawCellText(painter, g, title, titles.at(i), Qt::AlignHCenter);
    }
}

QRectF InfoLine(const CReportLayout& g, double top)
{
    return {0, top, g.Width(), g.Mm(kInfoLineHeight)};
}

QString PeriodLine(const SClaimReport& report)
{
    return LoadResString(IDS_REPORT_PERIOD).arg(report.Days().Text());
}

// The name the person gave the card, the IDm after it in small type; the IDm alone for a card without one.
void PaintCardLine(QPainter& painter, const CReportLayout& g, const SClaimReport& report, double top)
{
    const QRectF line = InfoLine(g, top);
    painter.setFont(ReportFont(10.5));
    if (report.cardName.isEmpty()) {
        const QString idm = report.idm.isEmpty() ? QStringLiteral("-") : report.idm;
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, LoadResString(IDS_REPORT_IDM).arg(idm));
        return;
    }
    const QString name = LoadResString(IDS_REPORT_CARD).arg(report.cardName);
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, name);
    const double after = painter.fontMetrics().horizontalAdvance(name) + g.Mm(2);
    painter.setFont(ReportFont(7.5));
    painter.setPen(QColor(0x50, 0x50, 0x50));
    painter.drawText(line.adjusted(after, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, report.idm);
    painter.setPen(Qt::black);
}

void PaintTitle(QPainter& painter, const CReportLayout& g)
{
    painter.setPen(Qt::black);
    painter.setFont(ReportFont(18.0, true));
    painter.drawText(QRectF(0, 0, g.Width(), g.Mm(kTitleHeight)), Qt::AlignCenter, LoadResString(IDS_REPORT_TITLE));
}

// The first page: the person and the claim beside the stamp boxes, then the purpose, the period and the card.
void PaintFirstHeader(QPainter& painter, const CReportLayout& g, const SClaimReport& report)
{
    const SClaimHeader& header = report.header;
    const QStringList stamps = header.StampTitles();
    const double fieldsRight = stamps.isEmpty() ? g.Mm(kFieldsMaxWidth)
                                                : std::min(g.Mm(kFieldsMaxWidth), g.StampsLeft() - g.Mm(kStampGap));
    double top = g.Mm(kTitleHeight);
    PaintStamps(painter, g, stamps, top);
    const std::array<SHeaderField, kFieldsBesideStamps> fields = {{{IDS_REPORT_CLAIM_DATE, DayText(report.ClaimDate())},
                                   {IDS_REPORT_NAME, header.name},
                                   {IDS_REPORT_DEPARTMENT, header.department},
                                   {IDS_REPORT_EMPLOYEE_ID, header.employeeId}}};
    for (size_t i = 0; i < fields.size(); ++i)
        PaintField(painter, g, fields[i], top + g.Mm(kFieldHeight) * static_cast<double>(i), fieldsRight);
    top += g.FieldsHeight();
    PaintField(painter, g, {IDS_REPORT_PURPOSE, header.purpose}, top, g.Width());
    top += g.Mm(kFieldHeight + kGapBeforePeriod);
    painter.setPen(Qt::black);
    painter.setFont(ReportFont(10.5));
    painter.drawText(InfoLine(g, top), Qt::AlignLeft | Qt::AlignVCenter, PeriodLine(report));
    PaintCardLine(painter, g, report, top + g.Mm(kInfoLineHeight));
}

// The pages after the first: the period, and whose claim it is.
void PaintShortHeader(QPainter& painter, const CReportLayout& g, const SClaimReport& report)
{
    painter.setFont(ReportFont(10.5));
    const QRectF line = InfoLine(g, g.Mm(kTitleHeight));
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, PeriodLine(report));
    if (!report.header.name.isEmpty())
        painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter,
                         LoadResString(IDS_REPORT_NAME) + QLatin1Char(' ') + report.header.name);
}

void PaintTableTitles(QPainter& painter, const CReportLayout& g, double top)
{
    const std::vector<SReportColumn>& columns = g.Columns();
    painter.fillRect(QRectF(0, top, g.Width(), g.Mm(kRowHeight)), QColor(0xE4, 0xE4, 0xE4));
    painter.setPen(QPen(Qt::black, 0));
    painter.setFont(ReportFont(10.0, true));
    for (size_t i = 0; i < columns.size(); ++i) {
        const QRectF cell = g.Cell(i, top, g.Mm(kRowHeight));
        DrawCellText(painter, g, cell, LoadResString(columns[i].titleId), Qt::AlignHCenter);
        painter.drawRect(cell);
    }
}

void PaintRow(QPainter& painter, const CReportLayout& g, const CEntryInfo& entry, size_t row, double top)
{
    const std::vector<SReportColumn>& columns = g.Columns();
    const std::vector<QStringList>& cells = g.CellLines(row);
    const double height = g.RowHeight(row);
    const qsizetype fitting = std::max<qsizetype>(1, static_cast<qsizetype>((height - 2 * g.Mm(kCellPadding)) / g.LineSpacing()));
    qsizetype lines = 1;
    for (const QStringList& cell : cells)
        lines = std::max(lines, std::min(cell.size(), fitting));
    const double textTop = top + (height - static_cast<double>(lines) * g.LineSpacing()) / 2;
    // A row that does not count is printed grey, so the total's difference shows.
    painter.setPen(CountsTowardsClaim(entry) ? QColor(Qt::black) : QColor(0x80, 0x80, 0x80));
    painter.setFont(g.RowFont());
    for (size_t i = 0; i < columns.size(); ++i) {
        const QStringList& cell = cells.at(i);
        for (qsizetype line = 0; line < std::min(cell.size(), lines); ++line) {
            const QRectF lineCell = g.Cell(i, textTop + g.LineSpacing() * static_cast<double>(line), g.LineSpacing());
            DrawCellText(painter, g, lineCell, cell.at(line), columns[i].alignment);
        }
    }
    painter.setPen(QPen(QColor(0xA0, 0xA0, 0xA0), 0));
    painter.drawLine(QPointF(0, top + height), QPointF(g.Width(), top + height));
}

// The total with the number of claimed trips, then the notes under the table.
void PaintClosing(QPainter& painter, const CReportLayout& g, const SClaimReport& report, double top)
{
    painter.setPen(QPen(Qt::black, g.Mm(0.4)));
    painter.drawLine(QPointF(0, top), QPointF(g.Width(), top));
    painter.setFont(ReportFont(10.5, true));
    const QRectF amount = g.Cell(static_cast<size_t>(ClaimReportAmountColumn(g.ShowsTime())), top, g.Mm(kRowHeight));
    const QRectF beforeAmount(0, top, amount.left(), amount.height());
    DrawCellText(painter, g, beforeAmount, LoadResString(IDS_REPORT_TRIPS).arg(ClaimedTrips(report.rows)),
                 Qt::AlignLeft);
    DrawCellText(painter, g, beforeAmount, LoadResString(IDS_REPORT_TOTAL), Qt::AlignRight);
    DrawCellText(painter, g, amount, LoadResString(IDS_AMOUNT_YEN).arg(ClaimAmountText(ClaimTotal(report.rows))),
                 Qt::AlignRight);
    top += g.Mm(kRowHeight);
    painter.setFont(ReportFont(9.0));
    const bool anyUnclaimed = std::any_of(report.rows.begin(), report.rows.end(),
                                          [](const CEntryInfo* e) { return !CountsTowardsClaim(*e); });
    if (anyUnclaimed) {
        painter.setPen(QColor(0x60, 0x60, 0x60));
        DrawCellText(painter, g, QRectF(0, top, g.Width(), g.Mm(kRowHeight)), LoadResString(IDS_REPORT_UNCLAIMED_NOTE),
                     Qt::AlignLeft);
        top += g.Mm(kRowHeight);
    }
    if (report.unread.nCount > 0) {
        painter.setPen(Qt::black);
        const QString line = LoadResString(IDS_REPORT_UNREAD)
                                 .arg(report.unread.nCount)
                                 .arg(DayText(report.unread.from), DayText(report.unread.to));
        DrawCellText(painter, g, QRectF(0, top, g.Width(), g.Mm(kRowHeight)), line, Qt::AlignLeft);
    }
}

void PaintPageFooter(QPainter& painter, const CReportLayout& g, const SClaimReport& report, int page, int pages)
{
    painter.setPen(QPen(Qt::black, 0));
    painter.drawLine(QPointF(0, g.FooterTop() + g.Mm(2)), QPointF(g.Width(), g.FooterTop() + g.Mm(2)));
    painter.setFont(ReportFont(9.0));
    const QRectF line(0, g.FooterTop() + g.Mm(2), g.Width(), g.Mm(kFooterHeight - 2));
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                     LoadResString(IDS_REPORT_PRINT_DATE).arg(DayText(report.printDate)));
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
    const CReportLayout g(device, report);
    const int pages = g.PageCount();
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            device.newPage();
        PaintTitle(painter, g);
        if (page == 0)
            PaintFirstHeader(painter, g, report);
        else
            PaintShortHeader(painter, g, report);
        PaintTableTitles(painter, g, g.TableTop(page));
        double top = g.TableTop(page) + g.Mm(kRowHeight);
        const auto [first, last] = g.PageRows(page);
        for (size_t row = first; row < last; ++row) {
            PaintRow(painter, g, *report.rows.at(row), row, top);
            top += g.RowHeight(row);
        }
        if (page == pages - 1)
            PaintClosing(painter, g, report, top);
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
