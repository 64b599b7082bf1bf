// The test build of the FeliCa library talks to the emulator instead of libusb. With
// VOLUNI_USB_EMULATOR_CARD naming a card image, an RC-S380/S holding that card is plugged
// in when the library first looks, so that a whole program can read through it.
#include "UsbEmulator.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>

namespace {

// Made when the library loads, so that it outlives the library's session object, which is
// made later and may still hold one of its devices when the library unloads.
struct SLoadedEmulator {
    CUsbEmulator emulator;

    SLoadedEmulator()
    {
        const QString path = qEnvironmentVariable("VOLUNI_USB_EMULATOR_CARD");
        if (path.isEmpty())
            return;
        CCardImage card;
        const QString error = card.LoadFile(path);
        if (error.isEmpty())
            emulator.Plug(0x06C1, card);
        else
            std::fprintf(stderr, "usb emulator: %s\n", qPrintable(error));
    }
};

SLoadedEmulator g_loaded;

CUsbEmulator& Emulator()
{
    return g_loaded.emulator;
}

// A handle on the one emulator; the library drops its bus on dispose, the emulator stays.
class CEmulatorBus final : public IUsbBus {
public:
    std::vector<SUsbDeviceInfo> Devices() override { return Emulator().Devices(); }
    std::unique_ptr<IUsbDevice> Open(const SUsbDeviceInfo& device, EUsbResult& why) override
    {
        return Emulator().Open(device, why);
    }
};

} // namespace

std::unique_ptr<IUsbBus> CreateUsbBus()
{
    return std::make_unique<CEmulatorBus>();
}

extern "C" __attribute__((visibility("default"))) CUsbEmulator* usb_emulator()
{
    return &Emulator();
}
