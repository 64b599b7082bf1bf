// The read driver of a card session: reader, wait, card record and blocks.
#include "card/CardSession.h"

#include "readers/CardReadAttempt.h"
#include "readers/CardReadResult.h"
#include "readers/FelicaMod.h"
#include "readers/ReaderMod.h"

#include <array>
#include <memory>

int CCardSession::ReadCard(int nPollingTime, const CardWaitFunction& wait)
{
    if (!entries || !card)
        return CARD_READ_OPEN_FAILED;

    auto felica = std::make_unique<CFelicaMod>();
    const int rc = felica->OpenReader();
    if (rc != CARD_READ_OK)
        return rc == CARD_READ_SERVICE_STOPPED || rc == CARD_READ_NO_READER ? rc : CARD_READ_OPEN_FAILED;

    CReaderMod* reader = felica->m_pReader.get();
    if (!reader || !reader->IsAvailable() || !reader->Open())
        return CARD_READ_OPEN_FAILED;

    std::array<uint8_t, 8> idm{};
    std::array<uint8_t, 8> pmm{};
    HistoryBlockList read;
    HistoryBlockList gate;
    CCardReadAttempt attempt(felica.get(), idm.data(), pmm.data(), &read, &gate);

    if (nPollingTime > 0) {
        if (!wait || !wait(attempt, nPollingTime)) {
            reader->Close();
            // A service still gone when the wait ended is said as such, not as a card not read;
            // a cancel stays a cancel whatever the attempt before it met.
            const bool serviceLost = !attempt.IsCancelled() && attempt.Fault() == EReaderFault::ServiceLost;
            return serviceLost ? CARD_READ_SERVICE_STOPPED : CARD_READ_CANCELLED;
        }
    } else if (!reader->Polling(idm.data(), pmm.data(), CCardReadAttempt::kSystemCodes[0], 0, 0)
               || !reader->ReadBlocks(idm.data(), CCardReadAttempt::kHistoryService,
                                      CCardReadAttempt::kSystemCodes[0], &read,
                                      CCardReadAttempt::kHistoryBlocks)) {
        const EReaderFault fault = reader->LastFault();
        reader->Close();
        return fault == EReaderFault::ServiceLost ? CARD_READ_SERVICE_STOPPED : CARD_READ_NO_READER;
    } else {
        ReadGateLog(*reader, idm.data(), CCardReadAttempt::kSystemCodes[0], gate);
    }

    reader->Close();
    felica.reset();

    // Kind 3 whichever system code answered.
    card->kind = 3;
    card->idm = idm;
    card->pmm = pmm;
    blocks = std::move(read);
    gateBlocks = std::move(gate);
    return CARD_READ_OK;
}
