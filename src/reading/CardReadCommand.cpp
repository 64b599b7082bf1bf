#include "reading/CardReadCommand.h"

#include "card/HistoryDecoder.h"
#include "resources/StringTable.h"

SCardReadOutcome RunCardRead(CEntryList& entries, CCardRecord& card, const SCardReadRequest& request)
{
    SCardReadOutcome outcome;
    CCardSession session(&entries, &card);
    session.userNames = request.userNames;
    outcome.nResult = session.ReadCard(request.nPollingTime, request.wait);
    if (outcome.nResult != CARD_READ_OK) {
        outcome.strMessage = CardReadResultText(outcome.nResult);
        return outcome;
    }
    if (request.onCardRead)
        request.onCardRead();
    if (request.balanceBeforeOldest)
        session.balanceBeforeOldest = request.balanceBeforeOldest(card, session.blocks);

    const size_t countBefore = entries.size();
    try {
        outcome.nBalance = session.ImportHistory(request.strConnect, request.strPassword, request.destinationFor);
    } catch (const CInvalidDateError& error) {
        outcome.bInvalidDate = true;
        outcome.strMessage = LoadResString(IDS_CARD_INVALID_DATE).arg(QString::fromStdString(error.DateText()));
        return outcome;
    }
    outcome.nAdded = entries.size() - countBefore;
    outcome.blocks = std::move(session.blocks);
    return outcome;
}
