// voluni report: the claim report 交通費精算書 of an entry file or a card image, as PDF.
#pragma once

class COutputTarget;
class QCommandLineParser;

// Returns the exit code; output (the --output file, or standard output for
// "-" and "/dev/stdout") gets the PDF.
int RunReport(const QCommandLineParser& parser, const COutputTarget& output);
