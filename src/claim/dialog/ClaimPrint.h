// Printing and previewing the claim report, through the one renderer the PDF
// file uses too.
#pragma once

#include "claim/ClaimReport.h"

class QPrinter;
class QPrintPreviewDialog;
class QWidget;

// Asks for a printer and prints; false when the person cancelled or the
// printer could not be painted on.
bool PrintClaimReport(QWidget* parent, const SClaimReport& report);
// Shows the print preview (modal); printing from it paints the same pages.
void PreviewClaimReport(QWidget* parent, const SClaimReport& report);
// The preview dialog on printer, not yet shown; report must outlive it.
QPrintPreviewDialog* MakeClaimPreview(QPrinter& printer, const SClaimReport& report, QWidget* parent);
