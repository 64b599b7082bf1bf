#include "app/ViewerOptions.h"

#include <cstdio>
#include <cstring>

namespace {

const char* const kUsage = R"(Usage: voluni-viewer [FILE.ent] [--demo | --card-image FILE]

Shows the usage history of a transit IC card laid on the card reader
(カード読込, Ctrl+R) or of an entry file, and turns it into a travel-expense
claim (CSV, PDF, print).

  FILE.ent           the entry file to open
  --demo             a simulated reader with the bundled demonstration card
  --card-image FILE  a simulated reader with the card image FILE (JSON)
  --help             this text
  --version          the program's version
)";

} // namespace

std::optional<int> AnswerInfoOptions(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("voluni-viewer %s\n", VOLUNI_VERSION);
            return 0;
        }
    }
    return std::nullopt;
}
