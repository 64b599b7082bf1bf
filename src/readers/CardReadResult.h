// How the coordinator and the read driver end: 0 or a small negative code.
#pragma once

#include <QString>

enum ECardReadResult : int {
    CARD_READ_OK = 0,
    CARD_READ_OPEN_FAILED = -1,     // the reader did not open, or nothing to read into
    CARD_READ_NO_READER = -2,       // no reader; without a wait, also the failed single attempt
    CARD_READ_SERVICE_STOPPED = -3, // the smart-card service is not running
    CARD_READ_CANCELLED = -5,       // the wait ended without a card; it has said so itself
};

// The smart-card service's message, with how to start pcscd.
QString ServiceStoppedText();
// The message for a result; empty for success and for a wait that ended itself.
QString CardReadResultText(int result);
