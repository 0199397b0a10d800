#include "reader/testing/recording_device_library.h"

#include <gtest/gtest.h>

namespace vx414 {
namespace {

TEST(RecordingDeviceLibrary, PlaysItsScriptOnlyWhileOpen) {
    RecordingDeviceLibrary link;
    link.queueBytes({0x00, 0xAA});
    link.queueNoBytes(2);
    link.queueBytes({0xBB});

    const std::vector<LinkByte> expected = {std::nullopt,  // closed: the script waits
                                            0x00,         0xAA, std::nullopt, std::nullopt, 0xBB,
                                            std::nullopt};  // script used up: silent
    std::vector<LinkByte> got;
    got.push_back(link.DeviceReadByte());
    link.DeviceOpen();
    for (int i = 0; i < 6; ++i) got.push_back(link.DeviceReadByte());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(link.readCount(), 7U);
    ASSERT_EQ(link.calls().size(), 3U);
    EXPECT_EQ(link.calls()[2].count, 6U);
    EXPECT_EQ(link.calls()[2].bytesRead, 3U);
}

TEST(RecordingDeviceLibrary, LogsCallsInOrderWithTheLinkState) {
    RecordingDeviceLibrary link;
    std::vector<std::uint8_t> heard;
    link.onWrite = [&](std::uint8_t byte) {
        heard.push_back(byte);
        if (byte == 0x55) link.queueBytes({0x12});
    };
    link.DeviceOpen();
    link.DeviceClose();
    link.DeviceOpen();
    link.DeviceWriteByte(0x55);
    const LinkByte answer = link.DeviceReadByte();
    link.DeviceReadByte();
    link.DeviceOpen();
    link.DeviceClose();
    link.DeviceWriteByte(0xAA);

    EXPECT_EQ(answer, LinkByte{0x12});
    EXPECT_EQ(link.callText(), "Open Close Open Write(55) Read Open Close Write(AA, closed)");
    EXPECT_EQ(link.written(), (std::vector<std::uint8_t>{0x55, 0xAA}));
    EXPECT_EQ(heard, link.written());
    EXPECT_TRUE(link.calls()[5].linkWasOpen);  // the second Open found the link open
    EXPECT_FALSE(link.isOpen());

    link.clearLog();
    EXPECT_EQ(link.callText(), "");
}

}  // namespace
}  // namespace vx414
