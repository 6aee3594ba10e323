// A scripted USB port for the camera tests: records every report written and
// answers bulk reads from a prepared buffer.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/usb_transport.h"

namespace tarvex::test {

class FakeUsb : public UsbTransport {
 public:
  std::optional<std::vector<UsbInterface>> list_interfaces(UsbClass cls) override {
    if (!list_ok) return std::nullopt;
    return cls == UsbClass::Hid ? hid : block;
  }
  int open_interface(UsbClass cls, const UsbInterface& which) override {
    if (which.path == unopenable) return 0;
    opened.push_back(which.path);
    return cls == UsbClass::Hid ? 100 + static_cast<int>(opened.size()) : 200;
  }
  int write_report(std::span<const std::uint8_t> report) override {
    reports.emplace_back(report.begin(), report.end());
    return write_error;
  }
  UsbRead bulk_read(std::span<std::uint8_t> destination) override {
    ++reads;
    std::size_t received = std::min(destination.size(), data.size());
    if (deliver_short) received = received / 2;
    if (read_error == 0 || deliver_short) std::memcpy(destination.data(), data.data(), received);
    if (read_error != 0) received = 0;
    return {read_error, received};
  }

  // The payloads (without the report identifier) of every report.
  std::vector<std::vector<std::uint8_t>> payloads() const {
    std::vector<std::vector<std::uint8_t>> p;
    for (const auto& r : reports) p.emplace_back(r.begin() + 1, r.end());
    return p;
  }
  // Sub-codes of the timing commands written, in order; 0 marks a read.
  std::vector<int> timing_codes() const {
    std::vector<int> c;
    for (const auto& r : reports) c.push_back(r[1] == 2 ? r[2] : 0);
    return c;
  }

  std::vector<UsbInterface> hid, block;
  bool list_ok = true;
  std::string unopenable;
  std::vector<std::string> opened;
  std::vector<std::vector<std::uint8_t>> reports;
  std::vector<std::uint8_t> data;
  int write_error = 0;
  int read_error = 0;
  bool deliver_short = false;
  int reads = 0;
};

}  // namespace tarvex::test
