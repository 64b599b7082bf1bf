#include "felicausb/SupportedReaders.h"

#include "felicausb/Rcs380Chip.h"
#include "felicausb/Rcs956Chip.h"

namespace {

constexpr uint16_t kSony = 0x054C;

constexpr SSupportedReader kReaders[] = {
    {kSony, 0x06C1, "Sony RC-S380/S", FrameCodec::EFamily::Rcs380},
    {kSony, 0x06C3, "Sony RC-S380/P", FrameCodec::EFamily::Rcs380},
    {kSony, 0x02E1, "Sony RC-S330/RC-S360/RC-S370", FrameCodec::EFamily::Pn53x},
};

} // namespace

const SSupportedReader* FindSupportedReader(const SUsbDeviceInfo& device)
{
    for (const SSupportedReader& reader : kReaders) {
        if (reader.vendor == device.vendor && reader.product == device.product)
            return &reader;
    }
    return nullptr;
}

std::unique_ptr<CFelicaChip> CreateChip(const SSupportedReader& reader, IUsbDevice& device)
{
    if (reader.family == FrameCodec::EFamily::Rcs380)
        return std::make_unique<CRcs380Chip>(device);
    return std::make_unique<CRcs956Chip>(device);
}
