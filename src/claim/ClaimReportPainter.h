// One renderer of the claim report for every page device: the printer, the
// print preview and the PDF file, so the three never differ.
#pragma once

#include "claim/ClaimReport.h"

#include <QByteArray>
#include <QString>

class QPagedPaintDevice;

// A4 portrait with the report's margins; call before painting.
void SetClaimPageLayout(QPagedPaintDevice& device);
// Paints every page onto device (a QPrinter, a QPdfWriter) and returns the
// number of pages; 0 when the device cannot be painted on.
int PaintClaimReport(QPagedPaintDevice& device, const SClaimReport& report);
// The report as the bytes of a PDF file; empty when it cannot be painted.
QByteArray ClaimReportPdf(const SClaimReport& report);
// Writes the report as a PDF file through a temporary one, so a failure leaves
// an old file whole; false with the reason in error.
bool WriteClaimReportPdf(const QString& path, const SClaimReport& report, QString& error);
