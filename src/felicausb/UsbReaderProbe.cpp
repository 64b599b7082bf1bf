#include "felicausb/UsbReaderProbe.h"

#include "felicausb/LibusbBus.h"
#include "felicausb/SupportedReaders.h"

std::vector<SUsbReaderState> ProbeUsbReaders(IUsbBus& bus)
{
    std::vector<SUsbReaderState> states;
    for (const SUsbDeviceInfo& info : bus.Devices()) {
        const SSupportedReader* model = FindSupportedReader(info);
        if (!model)
            continue;
        SUsbReaderState state{info, model->model, EUsbResult::Error};
        // Opening detaches the kernel driver; closing the device at once gives it back.
        bus.Open(info, state.access);
        states.push_back(state);
    }
    return states;
}

std::vector<SUsbReaderState> ProbeUsbReaders()
{
    CLibusbBus bus;
    return ProbeUsbReaders(bus);
}

std::string UsbAccessText(EUsbResult access)
{
    switch (access) {
    case EUsbResult::Ok:
        return "ready";
    case EUsbResult::Busy:
        return "busy: another program or a kernel driver holds it "
               "(sudo modprobe -r port100 pn533_usb, or close the other program)";
    case EUsbResult::NoPermission:
        return "no permission: install the udev rule 60-voluni-felica.rules, then unplug and plug in the reader";
    case EUsbResult::Gone:
        return "unplugged while being opened";
    case EUsbResult::Timeout:
    case EUsbResult::Error:
        break;
    }
    return "cannot be opened";
}
