// What the viewer's command line asks for besides a file: --help and --version
// are answered on standard output before any window is made.
#pragma once

#include <optional>

// The exit code when argv asked for help or the version (printed), else none.
std::optional<int> AnswerInfoOptions(int argc, char* argv[]);
