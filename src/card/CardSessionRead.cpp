// The read driver of a card session: reader, wait, card record and blocks.
#include "card/CardSession.h"

#include "readers/CardReadAttempt.h"
#include "readers/FelicaMod.h"
#include "readers/ReaderMod.h"

#include <array>
#include <memory>

int CCardSession::ReadCard(int nPollingTime, const CardWaitFunction& wait)
{
    if (!entries || !card)
        return -1;

    auto felica = std::make_unique<CFelicaMod>();
    const int rc = felica->OpenReader();
    if (rc != 0)
        return rc == -3 || rc == -2 ? rc : -1;

    CReaderMod* reader = felica->m_pReader.get();
    if (!reader || !reader->IsAvailable() || !reader->Open())
        return -1;

    std::array<uint8_t, 8> idm{};
    std::array<uint8_t, 8> pmm{};
    HistoryBlockList read;
    CCardReadAttempt attempt(felica.get(), idm.data(), pmm.data(), &read);

    if (nPollingTime > 0) {
        if (!wait || !wait(attempt, nPollingTime)) {
            reader->Close();
            return -5;
        }
    } else if (!reader->Polling(idm.data(), pmm.data(), CCardReadAttempt::kSystemCodes[0], 0, 0)
               || !reader->ReadBlocks(idm.data(), CCardReadAttempt::kHistoryService,
                                      CCardReadAttempt::kSystemCodes[0], &read,
                                      CCardReadAttempt::kHistoryBlocks)) {
        reader->Close();
        return -2;
    }

    reader->Close();
    felica.reset();

    // Kind 3 whichever system code answered.
    card->kind = 3;
    card->idm = idm;
    card->pmm = pmm;
    blocks = std::move(read);
    return 0;
}
