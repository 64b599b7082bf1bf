// Reading a PDF back with poppler's tools, as a person's viewer would see it.
#pragma once

#include <QString>

// The text of pages first to last (1-based; 0 for every page), in reading order.
QString PdfText(const QString& path, int first = 0, int last = 0);
// The text in the order it was drawn (pdftotext -raw): the lines of a wrapped
// cell follow one another.
QString PdfRawText(const QString& path, int first = 0, int last = 0);
// The number of pages; -1 when pdfinfo cannot read the file.
int PdfPageCount(const QString& path);
// pdffonts' table, one font a line after its two title lines.
QString PdfFonts(const QString& path);
// Renders the pages as PNG files prefix-1.png, prefix-2.png, ... (pdftoppm);
// 96 dots an inch is the page at 100 % on a screen.
bool PdfToPng(const QString& path, const QString& prefix, int dotsPerInch = 60);
