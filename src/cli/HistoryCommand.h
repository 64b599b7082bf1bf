// voluni history: the history archive's entries of one card or of all, or its cards.
#pragma once

class COutputTarget;
class QCommandLineParser;
class QString;

// --archive, or the archive the viewer shares.
QString ArchivePathFromArguments(const QCommandLineParser& parser);

// Returns the exit code; an archive that cannot be read is EXIT_FILE.
int RunHistory(const QCommandLineParser& parser, const QString& format, const COutputTarget& output);
