// Exit codes of the command-line tool, one per way a run can fail.
#pragma once

enum ExitCode : int {
    EXIT_OK = 0,
    EXIT_USAGE = 2,             // unknown command, option or missing argument
    EXIT_NO_READER = 3,         // no card reader connected
    EXIT_READER_OPEN = 4,       // the reader could not be opened
    EXIT_SERVICE_STOPPED = 5,   // the smart-card service is not running
    EXIT_NO_CARD = 6,           // no card read within the polling time
    EXIT_INVALID_DATE = 7,      // a history block holds an impossible date
    EXIT_FILE = 8,              // an entry file or the output file failed
    EXIT_CARD_IMAGE = 9,        // the card image is missing or malformed
};
