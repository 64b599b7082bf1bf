// The command-line tool's commands, apart from the process around them.
#pragma once

#include <QByteArray>
#include <QStringList>

class QIODevice;

// Runs the tool with arguments (the program name first). Output goes to
// standardOutput, or to the file named by --output, once the command has
// succeeded; messages go through ShowAppMessage. Returns the exit code (ExitCode.h).
int RunVoluni(const QStringList& arguments, QIODevice& standardOutput);
// The same, with standard output collected in output, which stays empty unless
// the run succeeded.
int RunVoluni(const QStringList& arguments, QByteArray& output);
