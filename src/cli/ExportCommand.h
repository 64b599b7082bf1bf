// voluni export: the claim CSV of an entry file or a card image.
#pragma once

class COutputTarget;
class QCommandLineParser;

// Returns the exit code; output (the --output file, or standard output for
// "-" and "/dev/stdout") gets the CSV.
int RunExport(const QCommandLineParser& parser, const COutputTarget& output);
