// The seam between the FeliCa library and the USB stack: enumeration, opening and bulk
// transfers. The product talks to libusb through it; tests put an emulated device behind it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

using ByteVector = std::vector<uint8_t>;

enum class EUsbResult {
    Ok,
    Timeout,      // nothing came within the time given
    Gone,         // the device was unplugged
    Busy,         // another driver or program holds the interface
    NoPermission, // the device node may not be opened by this user
    Error,        // any other failure of the USB stack
};

// One attached device, as enumeration finds it.
struct SUsbDeviceInfo {
    uint16_t vendor = 0;
    uint16_t product = 0;
    uint8_t bus = 0;
    uint8_t address = 0;
};

// An opened and claimed device. Closing (destruction) releases the interface and hands it
// back to the kernel driver that had it.
class IUsbDevice {
public:
    virtual ~IUsbDevice() = default;
    virtual EUsbResult Write(const ByteVector& bytes, unsigned timeoutMs) = 0;
    // One bulk transfer in; bytes holds what came.
    virtual EUsbResult Read(ByteVector& bytes, unsigned timeoutMs) = 0;
};

class IUsbBus {
public:
    virtual ~IUsbBus() = default;
    virtual std::vector<SUsbDeviceInfo> Devices() = 0;
    // Opens the device, detaches a kernel driver bound to it and claims its interface;
    // nullptr with the reason in why when that fails.
    virtual std::unique_ptr<IUsbDevice> Open(const SUsbDeviceInfo& device, EUsbResult& why) = 0;
};

// The bus this build of the library talks to: libusb in the product.
std::unique_ptr<IUsbBus> CreateUsbBus();
