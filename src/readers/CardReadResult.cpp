#include "readers/CardReadResult.h"

#include "resources/StringTable.h"

QString ServiceStoppedText()
{
    // On Linux the service is pcscd, and how to start it is worth one more line.
    return LoadResString(IDS_SMARTCARD_SERVICE_STOPPED) + QLatin1Char('\n') + LoadResString(IDS_PCSCD_START_HINT);
}

QString CardReadResultText(int result)
{
    switch (result) {
    case CARD_READ_SERVICE_STOPPED:
        return ServiceStoppedText();
    case CARD_READ_NO_READER:
        return LoadResString(IDS_READER_NOT_CONNECTED);
    case CARD_READ_OPEN_FAILED:
        return LoadResString(IDS_READER_OPEN_FAILED);
    default:
        return QString();
    }
}
