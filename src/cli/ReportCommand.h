// voluni report: the claim report 交通費精算書 of an entry file or a card image, as PDF.
#pragma once

class QCommandLineParser;

// Returns the exit code; the file named by --output is the only output.
int RunReport(const QCommandLineParser& parser);
