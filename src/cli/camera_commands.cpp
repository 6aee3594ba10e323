// The camera subcommands of tarvex-cli: camera-info (discovery), read-field
// (one field) and focus-frame (one focus window). They drive the camera
// session of the context, as the window's camera commands do.
#include <algorithm>
#include <cstdio>

#include "app/file_commands.h"
#include "camera/camera_session.h"
#include "cli/subcommands.h"
#include "platform/messages.h"

namespace tarvex::cli {

namespace {

constexpr int kDefaultExposureMs = 100;

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

// The options every camera subcommand refuses (a capture saves only a KR
// File); camera-info refuses the capture options too.
int check_camera_options(const Options& o, bool capture, std::ostream& err) {
  if (!o.input.empty()) return usage_error(err, "unexpected argument " + o.input);
  if (!o.steps.empty() || o.save_flat || o.save_tiff || o.bitmap || o.save_fits ||
      o.fits_unsigned || !o.fits_keys.empty() || o.export_fits || o.export_fits_float ||
      o.export_tiff16 || (!capture && (o.save_raw || o.exposure_ms)))
    return usage_error(err, o.command + " does not take that option");
  return 0;
}

// Finds the camera for a capture and stops the exposure it may be running.
// False (reported) when no camera is present.
bool ready_camera(Tarvex& app) {
  CameraSession& camera = app.camera;
  camera.find(app.settings.usb_debug_info);
  if (!camera.camera_present()) {
    show_message(app.ports.messages, Msg::CallerText, TEXT_NO_CAMERA);
    return false;
  }
  send_timing_command(camera.link, TimingCommand::EndSingleField);
  return true;
}

int save_raw_if_asked(Tarvex& app, const Options& o, std::ostream& out) {
  if (!o.save_raw) return 0;
  if (!save_image(app, *o.save_raw).ok()) return 1;
  out << "saved KR File " << o.save_raw->string() << "\n";
  return 0;
}

}  // namespace

int camera_info_command(const Options& o, std::ostream& out, std::ostream& err) {
  if (const int status = check_camera_options(o, false, err)) return status;
  return with_context(o, err, [&](Tarvex& app) {
    CameraSession& camera = app.camera;
    const CameraSearch search = camera.find(app.settings.usb_debug_info);
    out << "interfaces enumerated: " << (interfaces_listed(search) ? "yes" : "no") << "\n";
    for (int m = 0; m < MAX_DEVICE_RECORDS; ++m) {
      const DeviceRecord& r = camera.records[m];
      if (r.vendor_id == 0) continue;
      out << "record " << m << ": vendor " << hex4(r.vendor_id) << " product " << hex4(r.product_id)
          << " manufacturer \"" << r.manufacturer << "\" product \"" << r.product << "\"\n";
    }
    out << "hid handle: " << camera.link.hid_handle << "\n";
    out << "block handle: " << camera.link.block_handle << "\n";
    out << "camera present: " << (camera.camera_present() ? "yes" : "no") << "\n";
    return camera.camera_present() ? 0 : 1;
  });
}

int read_field_command(const Options& o, std::ostream& out, std::ostream& err) {
  if (const int status = check_camera_options(o, true, err)) return status;
  const int exposure_ms = static_cast<int>(o.exposure_ms.value_or(kDefaultExposureMs));
  return with_context(o, err, [&](Tarvex& app) {
    if (!ready_camera(app)) return 1;
    CameraLink& link = app.camera.link;
    ReadoutState& state = app.camera.readout;
    FrameStore& fs = app.store();
    state.exposure_ms = exposure_ms;
    send_timing_command(link, TimingCommand::Prepare);
    send_timing_command(link, TimingCommand::StartExposure);
    wait_exposure(link, app.ports.clock, exposure_ms);
    if (exposure_ms >= 200) send_timing_command(link, TimingCommand::Prepare);
    send_timing_command(link, TimingCommand::EndSingleField);
    state.field_parity = 0;
    if (read_field(link, app.ports.clock, state, fs.CurrentFrame) != LinkResult::Ok) {
      err << "tarvex-cli: the field read failed; the frame was not changed\n";
      return 1;
    }
    // One field makes a binned image, as a "Fast" exposure does: the odd rows
    // are filled from their neighbours.
    fill_odd_rows(fs.CurrentFrame);
    fs.IsBinned = true;
    fs.IsColour = false;
    app.display.SmallFrameMode = false;
    out << "field read into the even rows, odd rows filled: a binned image (" << exposure_ms
        << " ms)\n";
    print_stats(out, fs.CurrentFrame.data(), FRAME_WIDTH, FRAME_WIDTH, 0, FRAME_HEIGHT, 2);
    return save_raw_if_asked(app, o, out);
  });
}

int focus_frame_command(const Options& o, std::ostream& out, std::ostream& err) {
  if (const int status = check_camera_options(o, true, err)) return status;
  const int exposure_ms = static_cast<int>(o.exposure_ms.value_or(kDefaultExposureMs));
  return with_context(o, err, [&](Tarvex& app) {
    if (!ready_camera(app)) return 1;
    FrameStore& fs = app.store();
    int peak = 0;
    const WindowStretch stretch{app.display.palette_bits, app.display.max_stretch_all};
    if (take_window_frame(app.camera.link, app.ports.clock, app.camera.readout, exposure_ms,
                          ExposureRange::Thousandths, stretch, fs.CurrentFrame.data(),
                          &peak) != LinkResult::Ok) {
      err << "tarvex-cli: the window read failed; the frame was not changed\n";
      return 1;
    }
    app.display.SmallFrameMode = true;
    out << "focus window read (" << exposure_ms << " ms), peak " << peak << "\n";
    print_stats(out, fs.CurrentFrame.data(), SMALL_FRAME_SIDE, SMALL_FRAME_SIDE, 0,
                SMALL_FRAME_SIDE, 1);
    return save_raw_if_asked(app, o, out);
  });
}

}  // namespace tarvex::cli
