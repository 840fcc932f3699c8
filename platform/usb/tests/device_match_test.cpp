// Picking the scanner among attached devices, from descriptor data alone.

#include "platform/usb/device_match.h"

#include <gtest/gtest.h>

#include "platform/usb/transfer_timeout.h"

namespace pipewell {
namespace {

constexpr std::uint8_t kBulk = kTransferBulk;
constexpr std::uint8_t kInterrupt = kTransferInterrupt;

InterfaceInfo scanner_interface(std::uint8_t number = 0) {
    // OUT 01 bulk, IN 82 bulk (replies), IN 83 interrupt, IN 84 bulk (image).
    return {
        number, 0, kVendorSpecificClass, {{0x01, kBulk}, {0x82, kBulk}, {0x83, kInterrupt}, {0x84, kBulk}}};
}

DeviceInfo device(std::uint16_t vendor, std::uint16_t product, std::vector<InterfaceInfo> interfaces) {
    return {vendor, product, std::move(interfaces)};
}

TEST(UsbIdTest, ParsesHexPairsAndRefusesEverythingElse) {
    auto id = parse_usb_id("1a2B:00fF");
    ASSERT_TRUE(id);
    EXPECT_EQ(id->vendor, 0x1A2B);
    EXPECT_EQ(id->product, 0x00FF);
    id = parse_usb_id(" 5:7\n");
    ASSERT_TRUE(id);
    EXPECT_EQ(id->vendor, 5);
    EXPECT_EQ(id->product, 7);
    for (const char* bad :
         {"", ":", "1234", "1234:", ":5678", "12345:1", "12g4:0001", "0x12:34", "1:2:3", "-1:2"})
        EXPECT_FALSE(parse_usb_id(bad)) << bad;
}

TEST(InterfaceFitTest, NeedsVendorClassBulkOutAndTwoInEndpoints) {
    EXPECT_TRUE(interface_fits(scanner_interface()));
    InterfaceInfo hid = scanner_interface();
    hid.interfaceClass = 0x03;
    EXPECT_FALSE(interface_fits(hid));
    InterfaceInfo oneIn{0, 0, kVendorSpecificClass, {{0x01, kBulk}, {0x82, kBulk}}};
    EXPECT_FALSE(interface_fits(oneIn));
    InterfaceInfo interruptOut{
        0, 0, kVendorSpecificClass, {{0x01, kInterrupt}, {0x82, kBulk}, {0x83, kBulk}}};
    EXPECT_FALSE(interface_fits(interruptOut));
    InterfaceInfo noOut{0, 0, kVendorSpecificClass, {{0x81, kBulk}, {0x82, kBulk}, {0x83, kBulk}}};
    EXPECT_FALSE(interface_fits(noOut));
}

TEST(ChooseDeviceTest, WithoutAnIdTakesTheFirstDeviceWithAFittingInterface) {
    const std::vector<DeviceInfo> devices = {
        device(0x046D, 0xC52B, {{0, 0, 0x03, {{0x81, kInterrupt}}}}),  // a keyboard receiver
        device(0x0BDA, 0x8153,
               {{0, 0, kVendorSpecificClass, {{0x01, kBulk}, {0x82, kBulk}}}}),  // one IN only
        device(0x1111, 0x2222, {{0, 0, 0x08, {{0x01, kBulk}, {0x82, kBulk}}}, scanner_interface(1)}),
        device(0x3333, 0x4444, {scanner_interface()}),
    };
    const auto match = choose_device(devices, std::nullopt);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->device, 2u);
    EXPECT_EQ(match->interface, 1u);  // the second interface of that device
    EXPECT_FALSE(choose_device({}, std::nullopt));
    EXPECT_FALSE(choose_device({devices[0], devices[1]}, std::nullopt));
}

TEST(ChooseDeviceTest, AnIdPicksThatDeviceEvenAheadOfAnotherScanner) {
    const std::vector<DeviceInfo> devices = {
        device(0x3333, 0x4444, {scanner_interface()}),
        device(0x5555, 0x6666,
               {{2, 0, 0x00, {{0x81, kBulk}, {0x02, kBulk}}}}),  // not vendor class, but bulk OUT
        device(0x5555, 0x7777, {scanner_interface()}),
    };
    auto match = choose_device(devices, UsbId{0x5555, 0x6666});
    ASSERT_TRUE(match);
    EXPECT_EQ(match->device, 1u);
    EXPECT_EQ(match->interface, 0u);
    match = choose_device(devices, UsbId{0x5555, 0x7777});
    ASSERT_TRUE(match);
    EXPECT_EQ(match->device, 2u);
    EXPECT_FALSE(choose_device(devices, UsbId{0x3333, 0x4445}));
    // A named device without any bulk OUT endpoint cannot carry the link.
    EXPECT_FALSE(choose_device({device(1, 2, {{0, 0, 0xFF, {{0x81, kBulk}}}})}, UsbId{1, 2}));
}

TEST(ChooseDeviceTest, EndpointsKeepTheirDescriptorOrderAsPipes) {
    const std::vector<DeviceInfo> devices = {device(1, 2, {scanner_interface()})};
    const auto match = choose_device(devices, std::nullopt);
    ASSERT_TRUE(match);
    const auto& endpoints = devices[match->device].interfaces[match->interface].endpoints;
    ASSERT_EQ(endpoints.size(), 4u);
    EXPECT_EQ(endpoints[0].address, 0x01);  // pipe 0: commands out
    EXPECT_EQ(endpoints[1].address, 0x82);  // pipe 1: replies
    EXPECT_EQ(endpoints[3].address, 0x84);  // pipe 3: image data
}

TEST(TransferTimeoutTest, FloorAndTimeForLongTransfers) {
    EXPECT_EQ(transfer_timeout(1, 8), 20u);  // the probe's 1 ms
    EXPECT_EQ(transfer_timeout(0, 2), 20u);  // never "wait forever"
    EXPECT_EQ(transfer_timeout(-5, 2), 20u);
    EXPECT_EQ(transfer_timeout(50, 3), 50u);
    EXPECT_EQ(transfer_timeout(200, 65536), 200u + 1024u);   // a 64 KiB image read
    EXPECT_EQ(transfer_timeout(50, 1 << 20), 50u + 16384u);  // a 1 MiB firmware file
}

}  // namespace
}  // namespace pipewell
