// The camera's command set: the 8-byte command block and the report framing.
// Pure functions, so every byte can be checked without a camera.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tarvex {

using CommandBlock = std::array<std::uint8_t, 8>;

inline constexpr std::uint8_t COMMAND_TIMING = 2;
inline constexpr std::uint8_t COMMAND_READ = 4;
inline constexpr std::uint8_t READ_MODE_WINDOW = 1;
inline constexpr std::uint8_t READ_MODE_FIELD = 2;

inline constexpr int RAW_FIELD_LINES = 298;
inline constexpr int RAW_LINE_SAMPLES = 832;
inline constexpr int RAW_FIRST_LINE = 8;     // lines before it are discarded
inline constexpr int RAW_FIRST_SAMPLE = 26;  // samples before it are discarded
inline constexpr int FIELD_LINES = 290;      // visible lines of one field
inline constexpr std::size_t FIELD_READ_BYTES = 2u * RAW_FIELD_LINES * RAW_LINE_SAMPLES;  // 495872
inline constexpr std::size_t WINDOW_READ_BYTES = 2u * 128 * 128;                          // 32768
inline constexpr std::size_t MAX_REPORT_PAYLOAD = 254;
inline constexpr std::size_t MAX_REPORT_LENGTH = MAX_REPORT_PAYLOAD + 1;

// Default focus-window position.
inline constexpr int DEFAULT_WINDOW_X = 80;
inline constexpr int DEFAULT_WINDOW_Y = 312;

// Failure and notice texts of the link.
inline constexpr const char* TEXT_NO_PNP_NODE = "Could not attach to PnP node";
inline constexpr const char* TEXT_NO_SYSTEM_NAME =
    "Could not find the system name for this HID device";
inline constexpr const char* TEXT_CANNOT_OPEN = "Could not open HID device";
inline constexpr const char* TEXT_ERROR_CAPTION = "Error";
inline constexpr const char* TEXT_BLOCKIO_NOT_FOUND = "USB BlockIO device not found";
inline constexpr const char* TEXT_REPORT_TOO_LONG = "Maximum ByteCount for WriteUSBdevice is 254";
inline constexpr const char* FORMAT_WRITE_FAILED = "Error %d trying to send command to USB \n";
inline constexpr const char* FORMAT_READ_FAILED = "Error %d trying to read BlockIO data from USB\n";
inline constexpr const char* FORMAT_CAMERA_FOUND =
    "Camera Found, Hid = %6d, BlockIO = %6d\nO/S = %4d.%4d";
inline constexpr const char* TEXT_NO_CAMERA = "Sorry, No camera found on USB";
inline constexpr const char* TEXT_NOT_PRESENT = "- not present -";

// The timing commands (command code 2), by what the exposures use them for;
// the value is the sub-code sent in byte 1.
enum class TimingCommand : std::uint8_t {
  // Starts integration: the exposure, the second exposure of the interlaced
  // mode, and the second half after a half-time download.
  StartExposure = 1,
  // Sent first at the start of every exposure, on each pass of the wait of
  // long exposures, and before the read of exposures of 200 ms and more.
  Prepare = 2,
  // Ends a single-field exposure and a window exposure; the read follows.
  EndSingleField = 3,
  // Ends the second field of the two-field modes; also restarts that field
  // part-way through a progressive exposure.
  EndSecondField = 4,
  // Ends the first field of the two-field modes and of a half-time download.
  EndFirstField = 5,
};

// A timing command: all 8 bytes cleared, byte 0 = 2, byte 1 = sub-code.
void set_timing_command(CommandBlock& block, TimingCommand command);

// Bytes 1..2 of a read request for an exposure of `exposure_ms`: the
// exposure as a little-endian number below 500 ms, else 0, 0.
void set_exposure_bytes(CommandBlock& block, int exposure_ms);

// Bytes 3..6 of a window read from the focus-window column X and row Y.
void set_window_codes(CommandBlock& block, int x, int y);

// A field read request (bytes 1..7; byte 0 is set when the request is sent).
void set_field_request(CommandBlock& block, int exposure_ms);
// A window read request.
void set_window_request(CommandBlock& block, int exposure_ms, int x, int y);

// Frames a payload as an output report: identifier 0, then the payload.
// Returns the report length (payload size + 1), or 0 when the payload holds
// more than 254 bytes (nothing is written to `report` then).
std::size_t frame_report(std::span<const std::uint8_t> payload,
                         std::array<std::uint8_t, MAX_REPORT_LENGTH>& report);

// The window area a camera selects for the given codes: top-left column and
// row of the 128 x 128 window in frame coordinates. The column code carries
// the column only modulo 256, the row code the row in steps of three.
void decode_window_codes(const CommandBlock& block, int& column, int& row);

}  // namespace tarvex
