// Which supported USB readers are attached and whether this user can open each: for the
// command that lists the readers.
#pragma once

#include "felicausb/UsbTransport.h"

#include <string>
#include <vector>

struct SUsbReaderState {
    SUsbDeviceInfo device;
    std::string model;
    EUsbResult access = EUsbResult::Error; // Ok: it opens
};

// Opens and closes every supported reader on bus once, in the bus's order.
std::vector<SUsbReaderState> ProbeUsbReaders(IUsbBus& bus);
// The same over libusb.
std::vector<SUsbReaderState> ProbeUsbReaders();

// What to tell the person about a reader's access, with the fix where there is one.
std::string UsbAccessText(EUsbResult access);
