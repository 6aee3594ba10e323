#include <gtest/gtest.h>

#include "camera/camera_link.h"
#include "camera/usb_commands.h"
#include "fake_usb.h"
#include "platform/basic_ports.h"

namespace tarvex {
namespace {

using test::FakeUsb;
using Bytes = std::vector<std::uint8_t>;

TEST(UsbCommands, ExposureBytesOfReadRequest) {
  CommandBlock b{};
  const struct {
    int ms;
    int b1, b2;
  } cases[] = {{300, 44, 1},  {200, 200, 0}, {500, 0, 0}, {499, 243, 1},
               {255, 255, 0}, {256, 0, 1},   {1, 1, 0},   {60000, 0, 0}};
  for (const auto& c : cases) {
    set_exposure_bytes(b, c.ms);
    EXPECT_EQ(b[1], c.b1) << c.ms;
    EXPECT_EQ(b[2], c.b2) << c.ms;
  }
}

TEST(UsbCommands, WindowCodesAndTheirDecoding) {
  CommandBlock b{};
  set_window_request(b, 1000, 80, 312);
  EXPECT_EQ((Bytes{b[3], b[4], b[5], b[6], b[7]}), (Bytes{89, 146, 112, 138, 1}));
  int column = 0, row = 0;
  decode_window_codes(b, column, row);
  EXPECT_EQ(column, 80);
  EXPECT_EQ(row, 312);
}

TEST(UsbCommands, TimingCommandClearsTheWholeBlock) {
  CommandBlock b{};
  set_window_request(b, 300, 80, 312);
  set_timing_command(b, TimingCommand::EndSingleField);
  EXPECT_EQ(Bytes(b.begin(), b.end()), (Bytes{2, 3, 0, 0, 0, 0, 0, 0}));
  // A field read after it starts from zeros in bytes 3..6.
  set_field_request(b, 1000);
  EXPECT_EQ(Bytes(b.begin(), b.end()), (Bytes{2, 0, 0, 0, 0, 0, 0, 2}));
}

TEST(UsbLink, ReportFramingAndLengthLimit) {
  FakeUsb usb;
  RecordingMessages messages;
  CameraLink link(usb, messages);
  std::vector<std::uint8_t> payload(255, 7);
  EXPECT_EQ(WriteUSBdevice(link, std::span(payload).first(254)), LinkResult::Ok);
  ASSERT_EQ(usb.reports.size(), 1u);
  EXPECT_EQ(usb.reports[0].size(), 255u);
  EXPECT_EQ(usb.reports[0][0], 0);
  EXPECT_EQ(usb.reports[0][254], 7);

  EXPECT_EQ(WriteUSBdevice(link, payload), LinkResult::Refused);
  EXPECT_EQ(usb.reports.size(), 1u);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].code, 50u);
  EXPECT_EQ(messages.shown[0].text, "Maximum ByteCount for WriteUSBdevice is 254");

  usb.write_error = 19;
  EXPECT_EQ(send_timing_command(link, TimingCommand::StartExposure), LinkResult::Failed);
  EXPECT_EQ(messages.shown.back().text, "Error 19 trying to send command to USB \n");
}

TEST(UsbLink, FailedOrShortReadIsReportedAndMarked) {
  FakeUsb usb;
  RecordingMessages messages;
  CameraLink link(usb, messages);
  usb.data.assign(100, 9);
  link.read_length = 100;
  EXPECT_EQ(read_block_data(link), LinkResult::Ok);
  EXPECT_FALSE(link.last_read_failed);
  EXPECT_EQ(usb.reports.back()[1], 4);  // the read command went first

  usb.read_error = 110;
  EXPECT_EQ(read_block_data(link), LinkResult::Failed);
  EXPECT_TRUE(link.last_read_failed);
  EXPECT_EQ(messages.shown.back().text, "Error 110 trying to read BlockIO data from USB\n");

  usb.read_error = 0;
  usb.deliver_short = true;
  EXPECT_EQ(read_block_data(link), LinkResult::Failed);
  EXPECT_TRUE(link.last_read_failed);
  EXPECT_EQ(messages.shown.back().text, "Error 5 trying to read BlockIO data from USB\n");

  // A request larger than the receive buffer is refused, not read.
  usb.deliver_short = false;
  const int reads = usb.reads;
  link.read_length = FIELD_READ_BYTES + 1;
  EXPECT_EQ(read_block_data(link), LinkResult::Failed);
  EXPECT_EQ(usb.reads, reads);
}

UsbInterface itf(const std::string& path, std::uint16_t vid, const std::string& product) {
  return UsbInterface{path, vid, 0x0102, "", product};
}

TEST(UsbDiscovery, FindsBothInterfacesAndKeepsTheLastHid) {
  FakeUsb usb;
  RecordingMessages messages;
  CameraLink link(usb, messages, HostVersion{6, 1});
  link.show_link_info = true;
  usb.hid = {itf("h1", 0x1111, "first"), itf("h2", 0x2222, "")};
  usb.block = {itf("b1", 0x3333, "bulk")};
  DeviceRecords records;
  EXPECT_EQ(find_camera(link, records), CameraSearch::Found);
  EXPECT_EQ(link.camera_present, 1);
  EXPECT_EQ(link.hid_handle, 102);  // the second HID interface opened
  EXPECT_EQ(link.block_handle, 200);
  EXPECT_EQ(link.old_host, 0);
  // The block class fills the records after the HID class.
  EXPECT_EQ(records[0].vendor_id, 0x3333);
  EXPECT_EQ(records[0].product, "bulk");
  EXPECT_EQ(records[0].manufacturer, "- not present -");
  EXPECT_EQ(records[1].vendor_id, 0);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text,
            "Camera Found, Hid =    102, BlockIO =    200\nO/S =    6.   1");
  // The host version comes with the link, not from the transport.
  CameraLink older(usb, messages, HostVersion{4, 1});
  find_camera(older, records);
  EXPECT_TRUE(older.old_host);
}

TEST(UsbDiscovery, MissingBlockInterfaceAndFailures) {
  FakeUsb usb;
  RecordingMessages messages;
  CameraLink link(usb, messages);
  DeviceRecords records;
  usb.hid = {itf("h1", 0x1111, "cam")};
  EXPECT_EQ(find_camera(link, records), CameraSearch::Incomplete);
  EXPECT_EQ(link.camera_present, 0);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].code, 50u);
  EXPECT_EQ(messages.shown[0].text, "USB BlockIO device not found");

  // A later attempt finds the camera once the block interface appears.
  usb.block = {itf("b1", 0x1111, "cam")};
  find_camera(link, records);
  EXPECT_EQ(link.camera_present, 1);
  // A search that fails part-way leaves no camera behind, though one was
  // found before: its handles were given up when the search began.
  usb.unopenable = "b1";
  EXPECT_EQ(find_camera(link, records), CameraSearch::Failed);
  EXPECT_FALSE(link.camera_present);
  usb.unopenable.clear();

  CameraLink fresh(usb, messages);
  usb.unopenable = "b1";
  find_camera(fresh, records);
  EXPECT_EQ(fresh.camera_present, 0);
  EXPECT_EQ(messages.shown.back().caption, "Error");
  EXPECT_EQ(messages.shown.back().text, "Could not open HID device");

  usb.hid[0].path.clear();
  find_camera(fresh, records);
  EXPECT_EQ(messages.shown.back().text, "Could not find the system name for this HID device");

  usb.list_ok = false;
  EXPECT_EQ(find_camera(fresh, records), CameraSearch::Failed);
  EXPECT_EQ(messages.shown.back().text, "Could not attach to PnP node");
  EXPECT_EQ(fresh.camera_present, 0);
}

}  // namespace
}  // namespace tarvex
