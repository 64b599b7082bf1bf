#include "claim/dialog/ClaimPrint.h"

#include "claim/ClaimReportPainter.h"
#include "resources/StringTable.h"

#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include <memory>

bool PrintClaimReport(QWidget* parent, const SClaimReport& report)
{
    QPrinter printer(QPrinter::HighResolution);
    SetClaimPageLayout(printer);
    printer.setDocName(LoadResString(IDS_REPORT_TITLE));
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    return PaintClaimReport(printer, report) > 0;
}

void PreviewClaimReport(QWidget* parent, const SClaimReport& report)
{
    QPrinter printer(QPrinter::HighResolution);
    const std::unique_ptr<QPrintPreviewDialog> preview(MakeClaimPreview(printer, report, parent));
    preview->exec();
}

QPrintPreviewDialog* MakeClaimPreview(QPrinter& printer, const SClaimReport& report, QWidget* parent)
{
    SetClaimPageLayout(printer);
    printer.setDocName(LoadResString(IDS_REPORT_TITLE));
    auto* preview = new QPrintPreviewDialog(&printer, parent);
    preview->setWindowTitle(LoadResString(IDS_REPORT_TITLE));
    QObject::connect(preview, &QPrintPreviewDialog::paintRequested, preview,
                     [&report](QPrinter* target) { PaintClaimReport(*target, report); });
    return preview;
}
