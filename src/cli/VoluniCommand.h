// The command-line tool's commands, apart from the process around them.
#pragma once

#include <QByteArray>
#include <QStringList>

// Runs the tool with arguments (the program name first). What belongs on
// standard output is left in output, and only when the run succeeded; messages
// go through ShowAppMessage. Returns the exit code (ExitCode.h).
int RunVoluni(const QStringList& arguments, QByteArray& output);
