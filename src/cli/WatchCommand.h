// `voluni watch`: reads every card laid on a reader into the history archive, without the
// window, until SIGTERM or SIGINT.
#pragma once

class QCommandLineParser;
class QIODevice;

// Returns the exit code (ExitCode.h) once stopped: EXIT_OK; failures on the way are told and
// the watch goes on.
int RunWatch(const QCommandLineParser& parser, QIODevice& standardOutput);
