// The product library talks to the readers through libusb.
#include "felicausb/LibusbBus.h"

std::unique_ptr<IUsbBus> CreateUsbBus()
{
    return std::make_unique<CLibusbBus>();
}
