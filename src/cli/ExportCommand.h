// voluni export: the claim CSV of an entry file or a card image.
#pragma once

class QCommandLineParser;

// Returns the exit code; the file named by --output is the only output.
int RunExport(const QCommandLineParser& parser);
