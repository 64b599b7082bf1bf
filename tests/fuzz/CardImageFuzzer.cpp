// libFuzzer target for card images (JSON): any input loads or is refused with a
// reason, a refused one leaves the image as it was, and nothing aborts.
#include "readers/sim/CardImage.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CCardImage image;
    image.m_systems = {0x0003};
    const QString error = image.LoadJson(input);
    if (!error.isEmpty()) {
        if (image.m_systems != std::vector<uint16_t>{0x0003} || !image.m_history.empty())
            std::abort();
        return 0;
    }
    if (input.size() > CCardImage::kMaxFileSize)
        std::abort();
    // What loaded is answered as a card would be: every system is one the image names.
    for (const uint16_t system : image.m_systems) {
        if (!image.AnswersSystem(system))
            std::abort();
    }
    return 0;
}
