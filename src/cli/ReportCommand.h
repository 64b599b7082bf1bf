// voluni report: the claim report 交通費精算書 of an entry file or a card image, as PDF.
#pragma once

class COutputTarget;
class QCommandLineParser;

// --name, --department, --employee-id, --date, --purpose: the report's header,
// each in place of the viewer's 精算書の設定.
void AddReportOptions(QCommandLineParser& parser);
// Returns the exit code; output (the --output file, or standard output for
// "-" and "/dev/stdout") gets the PDF. The card's name and the trips no read
// caught come from the history archive (--archive), when it holds the card.
int RunReport(const QCommandLineParser& parser, const COutputTarget& output);
