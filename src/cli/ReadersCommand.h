// `voluni readers`: every reader the system offers, with what the tool would make of it.
#pragma once

#include <QByteArray>

// Leaves the listing in output, also when no reader in it can be used; returns the exit code (ExitCode.h): 0 when some reader can
// be used, as `voluni read` otherwise.
int RunReaders(QByteArray& output);
