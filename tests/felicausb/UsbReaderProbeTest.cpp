// The per-reader access report for the command that lists the readers.
#include "UsbEmulator.h"
#include "felicausb/UsbReaderProbe.h"

#include <gtest/gtest.h>

namespace {

TEST(UsbReaderProbe, SaysForEachSupportedReaderWhetherItOpens)
{
    CUsbEmulator bus;
    bus.PlugOther(0x046D, 0xC52B); // a mouse receiver: not listed
    bus.Plug(0x06C1);
    bus.Plug(0x06C3).m_openResult = EUsbResult::Busy;
    bus.Plug(0x02E1).m_openResult = EUsbResult::NoPermission;

    const std::vector<SUsbReaderState> states = ProbeUsbReaders(bus);
    ASSERT_EQ(states.size(), 3u);
    EXPECT_EQ(states[0].model, "Sony RC-S380/S");
    EXPECT_EQ(states[0].access, EUsbResult::Ok);
    EXPECT_EQ(states[1].model, "Sony RC-S380/P");
    EXPECT_EQ(states[1].access, EUsbResult::Busy);
    EXPECT_EQ(states[2].model, "Sony RC-S330/RC-S360/RC-S370");
    EXPECT_EQ(states[2].access, EUsbResult::NoPermission);
    // The probe leaves nothing open behind it.
    EXPECT_FALSE(bus.Reader(0).m_bOpen);
}

TEST(UsbReaderProbe, TextsNameTheFix)
{
    EXPECT_EQ(UsbAccessText(EUsbResult::Ok), "ready");
    EXPECT_NE(UsbAccessText(EUsbResult::Busy).find("modprobe -r port100 pn533_usb"), std::string::npos);
    EXPECT_NE(UsbAccessText(EUsbResult::NoPermission).find("60-voluni-felica.rules"), std::string::npos);
}

TEST(UsbReaderProbe, NoSupportedReaderGivesAnEmptyList)
{
    CUsbEmulator bus;
    bus.PlugOther(0x072F, 0x2200);
    EXPECT_TRUE(ProbeUsbReaders(bus).empty());
}

} // namespace
