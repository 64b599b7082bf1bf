#include "felicausb/LibusbBus.h"

#include <libusb.h>

namespace {

// Large enough for the longest extended frame either chip sends.
constexpr size_t kReadBufferSize = 1024;

EUsbResult FromLibusb(int rc)
{
    switch (rc) {
    case LIBUSB_SUCCESS:
        return EUsbResult::Ok;
    case LIBUSB_ERROR_TIMEOUT:
        return EUsbResult::Timeout;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND:
        return EUsbResult::Gone;
    case LIBUSB_ERROR_BUSY:
        return EUsbResult::Busy;
    case LIBUSB_ERROR_ACCESS:
        return EUsbResult::NoPermission;
    default:
        return EUsbResult::Error;
    }
}

struct SBulkEndpoints {
    int interfaceNumber = -1;
    uint8_t in = 0;
    uint8_t out = 0;
    uint16_t maxPacket = 64;
};

// The first interface with a bulk endpoint each way carries the host frames.
bool FindBulkEndpoints(libusb_device* device, SBulkEndpoints& endpoints)
{
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS)
        return false;
    bool found = false;
    for (int i = 0; i < config->bNumInterfaces && !found; ++i) {
        if (config->interface[i].num_altsetting < 1)
            continue;
        const libusb_interface_descriptor& setting = config->interface[i].altsetting[0];
        SBulkEndpoints candidate;
        candidate.interfaceNumber = setting.bInterfaceNumber;
        for (int e = 0; e < setting.bNumEndpoints; ++e) {
            const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
            if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK)
                continue;
            if (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_IN) {
                candidate.in = endpoint.bEndpointAddress;
            } else {
                candidate.out = endpoint.bEndpointAddress;
                candidate.maxPacket = endpoint.wMaxPacketSize;
            }
        }
        if (candidate.in && candidate.out) {
            endpoints = candidate;
            found = true;
        }
    }
    libusb_free_config_descriptor(config);
    return found;
}

class CLibusbDevice final : public IUsbDevice {
public:
    CLibusbDevice(libusb_device_handle* handle, const SBulkEndpoints& endpoints, bool reattach)
        : m_pHandle(handle)
        , m_endpoints(endpoints)
        , m_bReattach(reattach)
    {
    }

    ~CLibusbDevice() override
    {
        libusb_release_interface(m_pHandle, m_endpoints.interfaceNumber);
        // Hand the reader back to the kernel driver it was taken from.
        if (m_bReattach)
            libusb_attach_kernel_driver(m_pHandle, m_endpoints.interfaceNumber);
        libusb_close(m_pHandle);
    }

    CLibusbDevice(const CLibusbDevice&) = delete;
    CLibusbDevice& operator=(const CLibusbDevice&) = delete;

    EUsbResult Write(const ByteVector& bytes, unsigned timeoutMs) override
    {
        const EUsbResult result = Transfer(m_endpoints.out, const_cast<uint8_t*>(bytes.data()), bytes.size(), timeoutMs);
        if (result != EUsbResult::Ok)
            return result;
        // A frame filling its last packet exactly needs an empty packet to end the transfer.
        if (m_endpoints.maxPacket && bytes.size() % m_endpoints.maxPacket == 0)
            return Transfer(m_endpoints.out, nullptr, 0, timeoutMs);
        return EUsbResult::Ok;
    }

    EUsbResult Read(ByteVector& bytes, unsigned timeoutMs) override
    {
        bytes.assign(kReadBufferSize, 0);
        int transferred = 0;
        const int rc = libusb_bulk_transfer(m_pHandle, m_endpoints.in, bytes.data(), static_cast<int>(bytes.size()),
                                            &transferred, timeoutMs);
        bytes.resize(rc == LIBUSB_SUCCESS ? static_cast<size_t>(transferred) : 0);
        return FromLibusb(rc);
    }

private:
    EUsbResult Transfer(uint8_t endpoint, uint8_t* data, size_t size, unsigned timeoutMs)
    {
        int transferred = 0;
        const int rc = libusb_bulk_transfer(m_pHandle, endpoint, data, static_cast<int>(size), &transferred, timeoutMs);
        if (rc != LIBUSB_SUCCESS)
            return FromLibusb(rc);
        return static_cast<size_t>(transferred) == size ? EUsbResult::Ok : EUsbResult::Error;
    }

    libusb_device_handle* m_pHandle;
    SBulkEndpoints m_endpoints;
    bool m_bReattach;
};

} // namespace

CLibusbBus::CLibusbBus()
{
    if (libusb_init(&m_pContext) != LIBUSB_SUCCESS)
        m_pContext = nullptr;
}

CLibusbBus::~CLibusbBus()
{
    if (m_pContext)
        libusb_exit(m_pContext);
}

std::vector<SUsbDeviceInfo> CLibusbBus::Devices()
{
    std::vector<SUsbDeviceInfo> devices;
    if (!m_pContext)
        return devices;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(m_pContext, &list);
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) != LIBUSB_SUCCESS)
            continue;
        devices.push_back({descriptor.idVendor, descriptor.idProduct, libusb_get_bus_number(list[i]),
                           libusb_get_device_address(list[i])});
    }
    if (list)
        libusb_free_device_list(list, 1);
    return devices;
}

std::unique_ptr<IUsbDevice> CLibusbBus::Open(const SUsbDeviceInfo& wanted, EUsbResult& why)
{
    why = EUsbResult::Gone;
    if (!m_pContext) {
        why = EUsbResult::Error;
        return nullptr;
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(m_pContext, &list);
    std::unique_ptr<IUsbDevice> opened;
    for (ssize_t i = 0; i < count && !opened; ++i) {
        if (libusb_get_bus_number(list[i]) != wanted.bus || libusb_get_device_address(list[i]) != wanted.address)
            continue;
        SBulkEndpoints endpoints;
        if (!FindBulkEndpoints(list[i], endpoints)) {
            why = EUsbResult::Error;
            break;
        }
        libusb_device_handle* handle = nullptr;
        int rc = libusb_open(list[i], &handle);
        if (rc != LIBUSB_SUCCESS) {
            why = FromLibusb(rc);
            break;
        }
        // port100 and pn533_usb bind these readers as soon as they are plugged in.
        bool reattach = false;
        if (libusb_kernel_driver_active(handle, endpoints.interfaceNumber) == 1) {
            rc = libusb_detach_kernel_driver(handle, endpoints.interfaceNumber);
            reattach = rc == LIBUSB_SUCCESS;
        }
        rc = libusb_claim_interface(handle, endpoints.interfaceNumber);
        if (rc != LIBUSB_SUCCESS) {
            why = FromLibusb(rc);
            if (reattach)
                libusb_attach_kernel_driver(handle, endpoints.interfaceNumber);
            libusb_close(handle);
            break;
        }
        why = EUsbResult::Ok;
        opened = std::make_unique<CLibusbDevice>(handle, endpoints, reattach);
    }
    if (list)
        libusb_free_device_list(list, 1);
    return opened;
}
