// The Sony USB readers the library drives, by USB id, with the chip family of each.
#pragma once

#include "felicausb/FelicaChip.h"

#include <memory>

struct SSupportedReader {
    uint16_t vendor;
    uint16_t product;
    const char* model;
    FrameCodec::EFamily family;
};

// nullptr for a device the library does not drive.
const SSupportedReader* FindSupportedReader(const SUsbDeviceInfo& device);
std::unique_ptr<CFelicaChip> CreateChip(const SSupportedReader& reader, IUsbDevice& device);
