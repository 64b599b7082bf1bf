// The USB seam over libusb-1.0.
#pragma once

#include "felicausb/UsbTransport.h"

struct libusb_context;

class CLibusbBus final : public IUsbBus {
public:
    CLibusbBus();
    ~CLibusbBus() override;

    CLibusbBus(const CLibusbBus&) = delete;
    CLibusbBus& operator=(const CLibusbBus&) = delete;

    std::vector<SUsbDeviceInfo> Devices() override;
    std::unique_ptr<IUsbDevice> Open(const SUsbDeviceInfo& device, EUsbResult& why) override;

private:
    libusb_context* m_pContext = nullptr; // nullptr when libusb could not start
};
