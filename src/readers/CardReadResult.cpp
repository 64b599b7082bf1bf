#include "readers/CardReadResult.h"

#include "resources/StringTable.h"

QString CardReadResultText(int result)
{
    switch (result) {
    case CARD_READ_SERVICE_STOPPED:
        return LoadResString(IDS_SMARTCARD_SERVICE_STOPPED);
    case CARD_READ_NO_READER:
        return LoadResString(IDS_READER_NOT_CONNECTED);
    case CARD_READ_OPEN_FAILED:
        return LoadResString(IDS_READER_OPEN_FAILED);
    default:
        return QString();
    }
}
