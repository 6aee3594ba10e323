#include "camera/usb_commands.h"

#include <algorithm>
#include <cstring>

namespace tarvex {

void set_timing_command(CommandBlock& block, TimingCommand command) {
  block.fill(0);
  block[0] = COMMAND_TIMING;
  block[1] = static_cast<std::uint8_t>(command);
}

void set_exposure_bytes(CommandBlock& block, int exposure_ms) {
  if (exposure_ms >= 500 || exposure_ms < 0) {
    block[1] = 0;
    block[2] = 0;
  } else {
    block[1] = static_cast<std::uint8_t>(exposure_ms & 0xFF);
    block[2] = exposure_ms >= 256 ? 1 : 0;
  }
}

void set_window_codes(CommandBlock& block, int x, int y) {
  const int c = x + 64;
  const int r = y + 64;
  block[3] = static_cast<std::uint8_t>((c + 201) & 0xFF);
  block[4] = static_cast<std::uint8_t>((34 - c) & 0xFF);
  const int row_code = (r - 40) / 3;
  block[5] = static_cast<std::uint8_t>(row_code & 0xFF);
  block[6] = static_cast<std::uint8_t>((250 - row_code) & 0xFF);
}

void set_field_request(CommandBlock& block, int exposure_ms) {
  set_exposure_bytes(block, exposure_ms);
  block[3] = block[4] = block[5] = block[6] = 0;
  block[7] = READ_MODE_FIELD;
}

void set_window_request(CommandBlock& block, int exposure_ms, int x, int y) {
  set_exposure_bytes(block, exposure_ms);
  set_window_codes(block, x, y);
  block[7] = READ_MODE_WINDOW;
}

std::size_t frame_report(std::span<const std::uint8_t> payload,
                         std::array<std::uint8_t, MAX_REPORT_LENGTH>& report) {
  if (payload.size() > MAX_REPORT_PAYLOAD) return 0;
  report[0] = 0;
  if (!payload.empty()) std::memcpy(report.data() + 1, payload.data(), payload.size());
  return payload.size() + 1;
}

void decode_window_codes(const CommandBlock& block, int& column, int& row) {
  // Column code = (X + 64 + 201) mod 256, so X mod 256 = code - 265 mod 256.
  column = (static_cast<int>(block[3]) - 265) & 0xFF;
  // Row code = (Y + 64 - 40) div 3: the row comes back in steps of three.
  row = static_cast<int>(block[5]) * 3 - 24;
  column = std::clamp(column, 0, 752 - 128);
  row = std::clamp(row, 0, 580 - 128);
}

}  // namespace tarvex
