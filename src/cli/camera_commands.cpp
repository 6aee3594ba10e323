#include "cli/camera_commands.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "app/file_commands.h"
#include "platform/messages.h"
#include "camera/camera_link.h"
#include "camera/readout.h"

namespace tarvex::cli {

namespace {

std::string hex4(unsigned v) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", v & 0xFFFF);
  return text;
}

// Sample statistics of rows [first, end) stepping by `step`, columns 0..width-1.
void print_stats(std::ostream& out, const std::uint16_t* p, int stride, int width, int first,
                 int end, int step) {
  long long sum = 0;
  int lo = 65535, hi = 0;
  long n = 0;
  for (int y = first; y < end; y += step)
    for (int x = 0; x < width; ++x) {
      const int v = p[y * stride + x];
      sum += v;
      lo = std::min(lo, v);
      hi = std::max(hi, v);
      ++n;
    }
  out << "samples: " << n << " min " << lo << " max " << hi << " mean " << (n ? sum / n : 0)
      << "\n";
}

// The host side of a short exposure as the sequencer times it: wait for
// exposures of 500 ms and more, repeating timing command 2 while above 600 ms.
void wait_exposure(CameraLink& link, Clock& clock, int exposure_ms) {
  if (exposure_ms < 500) return;
  const std::uint32_t end = clock.now_ms() + static_cast<std::uint32_t>(exposure_ms);
  while (static_cast<std::int32_t>(clock.now_ms() - end) < 0) {
    if (exposure_ms > 600) send_timing_command(link, 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace

bool is_camera_command(const std::string& command) {
  return command == "camera-info" || command == "read-field" || command == "focus-frame";
}

int run_camera_command(const std::string& command, Tarvex& app, UsbTransport& usb, int exposure_ms,
                       const std::optional<std::filesystem::path>& save_raw, std::ostream& out,
                       std::ostream& err) {
  CameraLink link(usb, app.ports.messages);
  link.show_link_info = app.settings.usb_debug_info ? 1 : 0;
  DeviceRecords records;
  const int enumerated = find_camera(link, records);
  if (command == "camera-info") {
    out << "interfaces enumerated: " << (enumerated ? "yes" : "no") << "\n";
    for (int m = 0; m < MAX_DEVICE_RECORDS; ++m) {
      const DeviceRecord& r = records[m];
      if (r.vendor_id == 0) continue;
      out << "record " << m << ": vendor " << hex4(r.vendor_id) << " product " << hex4(r.product_id)
          << " manufacturer \"" << r.manufacturer << "\" product \"" << r.product << "\"\n";
    }
    out << "hid handle: " << link.hid_handle << "\n";
    out << "block handle: " << link.block_handle << "\n";
    out << "camera present: " << (link.camera_present ? "yes" : "no") << "\n";
    return link.camera_present ? 0 : 1;
  }
  if (!link.camera_present) {
    show_message(app.ports.messages, MESSAGE_CALLER_TEXT, TEXT_NO_CAMERA);
    return 1;
  }
  send_timing_command(link, 3);

  ReadoutState state;
  Clock& clock = app.ports.clock;
  FrameStore& fs = app.store();
  if (command == "read-field") {
    state.exposure_ms = exposure_ms;
    send_timing_command(link, 2);
    send_timing_command(link, 1);
    wait_exposure(link, clock, exposure_ms);
    if (exposure_ms >= 200) send_timing_command(link, 2);
    send_timing_command(link, 3);
    state.field_parity = 0;
    if (read_field(link, clock, state, fs.CurrentFrame) != LINK_OK) {
      err << "tarvex-cli: the field read failed; the frame was not changed\n";
      return 1;
    }
    // One field makes a binned image, as a "Fast" exposure does: the odd rows
    // are filled from their neighbours.
    fill_odd_rows(fs.CurrentFrame);
    fs.IsBinned = 1;
    fs.IsColour = 0;
    app.display.SmallFrameMode = false;
    out << "field read into the even rows, odd rows filled: a binned image (" << exposure_ms
        << " ms)\n";
    print_stats(out, fs.CurrentFrame.data(), FRAME_WIDTH, FRAME_WIDTH, 0, FRAME_HEIGHT, 2);
  } else {
    int peak = 0;
    const WindowStretch stretch{app.display.palette_bits, app.display.max_stretch_all};
    if (take_focus_frame(link, clock, state, exposure_ms, 'q', stretch, fs.CurrentFrame.data(),
                         peak) != LINK_OK) {
      err << "tarvex-cli: the window read failed; the frame was not changed\n";
      return 1;
    }
    app.display.SmallFrameMode = true;
    out << "focus window read (" << exposure_ms << " ms), peak " << peak << "\n";
    print_stats(out, fs.CurrentFrame.data(), SMALL_FRAME_SIDE, SMALL_FRAME_SIDE, 0,
                SMALL_FRAME_SIDE, 1);
  }
  if (save_raw) {
    if (save_image(app, *save_raw) != 0) return 1;
    out << "saved KR File " << save_raw->string() << "\n";
  }
  return 0;
}

}  // namespace tarvex::cli
