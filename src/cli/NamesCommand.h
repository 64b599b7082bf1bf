// voluni names: the names the person gives stations and bus stops.
#pragma once

class COutputTarget;
class CUserNames;
class QCommandLineParser;
class QString;

// The person's names as the archive in use keeps them (beside --archive, or
// beside the viewer's archive), read; a file that cannot be read is reported
// and gives no names.
CUserNames LoadUserNames(const QCommandLineParser& parser);

// list [--format json|csv], set rail|bus CODE --station NAME [--line NAME]
// [--company NAME], remove rail|bus CODE. Returns the exit code: EXIT_USAGE for
// bad input (nothing changes), EXIT_FILE when the file cannot be read or written.
int RunNames(const QCommandLineParser& parser, const QString& format, const COutputTarget& output);
