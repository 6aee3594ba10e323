// The Tarvex context: the one frame store, the settings, the FITS text
// record, the processing history, the display state, the camera session and
// the ports. The main window, tarvex-cli and the tests each own one.
#pragma once

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/acquisition.h"
#include "app/indi_choice.h"
#include "camera/camera_session.h"
#include "files/fits_standard.h"
#include "files/fits_text.h"
#include "files/recent_files.h"
#include "files/settings.h"
#include "image/display.h"
#include "image/frame_store.h"
#include "image/history.h"
#include "platform/paths.h"
#include "platform/ports.h"
#include "platform/usb_transport.h"
#include "processing/merge_state.h"
#include "processing/star_location.h"
#include "processing/stretch.h"
#include "scope/mount.h"
#include "scope/serial_link.h"
#include "scope/star_pick.h"

namespace tarvex {

struct Ports {
  Messages& messages;
  Clock& clock;
  EventPump& pump;
  Progress& progress;
  Launcher& launcher;
  DisplaySink& display;
  // What stands behind the camera's USB port; contexts that never talk to a
  // camera may leave it out.
  UsbTransport& usb = no_usb_transport();
};

// The kind of file the image was last opened from or saved to.
enum class ImageFileKind { None, KrFile, Fits };

// What the image was last opened from or saved to, and its fingerprint then
// (app/image_file.h).
struct ImageFileState {
  ImageFileKind kind = ImageFileKind::None;
  std::filesystem::path path;
  std::uint64_t signature = 0;
  bool known = false;       // false until start-up, an open or a save
  unsigned generation = 0;  // counts the opens and saves
};

// The Tarvex context comes in five named parts, so that a reader (and a
// function that needs only one of them) sees what belongs together. The
// context inherits them, so `app.settings` and `app.camera` read as before.

// Where the program runs: its folders and the ports to the world around it.
struct Surroundings {
  Paths paths;
  Ports ports;
};

// What is kept between runs: the settings file, the FITS text record and
// File > Recent Files.
struct StoredSettings {
  Settings settings;
  FitsText fits;
  // File > Recent Files, kept only by contexts that asked for it.
  RecentFiles recent_files;
  bool keeps_recent_files = false;
};

// The image on show beyond the frame store's own buffers: where it came
// from, what was done to it and how it is displayed.
struct ImageState {
  ProcessingHistory history;
  DisplayState display;
  // Name of the file last opened or saved, without folder, in lower case.
  std::string current_file_name;
  // The file behind the image, for the question asked before closing.
  ImageFileState image_file;
  // The display bitmap could not be written at the last redisplay. Its
  // message is shown once, not again at every redisplay, until a write
  // succeeds again.
  bool display_bitmap_failed = false;
  // The contrast transfer table, filled by every stretch and by colour
  // synthesis, applied by the internal commands 888 and 889.
  StretchLevels StretchTable{};
  // Direction of the next Vertical Smoothing run; every run toggles it.
  bool SmoothDownward = false;
  // When the exposure of the image on show started (seconds since the epoch;
  // 0 when the image came from no exposure of this run, as a file opened
  // does). Every FITS save of the image carries it as the exposure's date
  // and time.
  std::time_t exposure_start = 0;
  // What the image on show is (Light or Dark), and where the telescope
  // pointed and stood when its exposure started: the observing cards of its
  // standard FITS files. Cleared when a file is opened.
  StandardFitsStamp observing;
  // The first samples of CurrentFrame that focus frames overwrite, kept while
  // the focus window is on show (empty otherwise).
  std::vector<std::uint16_t> focus_saved_samples;
};

// The equipment: the camera and the telescope mount.
struct Equipment {
  Equipment(UsbTransport& usb, Messages& messages, HostVersion host)
      : camera(usb, messages, host) {}
  // The camera link and readout state, shared by every camera command of the
  // program's run.
  CameraSession camera;
  // The telescope's serial link: port, direction block, move flags, the
  // mount's object information.
  SerialLink telescope;
  // The mount port's serial mounts over `telescope`, made on first use
  // (app/mounts.h picks the one of the link type in effect).
  std::unique_ptr<Mount> lx200_mount;
  std::unique_ptr<Mount> box_mount;
  // The INDI mount, made on first use for the choice in effect (app/mounts.h).
  std::unique_ptr<Mount> indi_mount;
  // The INDI mount given for this run (tarvex-cli --indi and --device); the
  // small settings file is not read for it then.
  std::optional<IndiMountChoice> indi_override;
  // The INDI choice of the small settings file as last read, and the time
  // the file was written then: it is read again only after it changed.
  struct StoredIndiChoice {
    struct Stamp {
      unsigned long long inode = 0;
      long long size = 0, seconds = 0, nanoseconds = 0;
      bool operator==(const Stamp&) const = default;
    };
    bool read = false;
    Stamp written{};
    std::optional<IndiMountChoice> choice;
  };
  mutable StoredIndiChoice indi_stored;
  // The name of the last go-to's target ("M31", "NGC 224", "Mars"), for the
  // OBJECT of standard FITS files; empty after a go-to by coordinates.
  std::string goto_target_name;
};

// The work in hand: the next exposure's settings, the star being followed,
// the merge under way and the dark frame chosen.
struct WorkState {
  // True while a long operation runs; the window starts no second one.
  bool busy = false;
  // The camera dialog's settings of the next exposure or sequence, kept for
  // the program's run only (the settings file has no place for them).
  AcquisitionSettings acquisition;
  // The dark frame chosen with File > Select Dark Frame.
  std::filesystem::path dark_frame_path;
  // The shared star position, search radius and star location flags.
  StarLocation star;
  StarPickState star_pick;
  MergeState merge;
};

class Tarvex : public Surroundings,
               public StoredSettings,
               public ImageState,
               public Equipment,
               public WorkState {
 public:
  Tarvex(Paths paths, Ports ports);
  Tarvex(const Tarvex&) = delete;
  Tarvex& operator=(const Tarvex&) = delete;

  FrameStore& store() { return *store_; }
  const FrameStore& store() const { return *store_; }

 private:
  std::unique_ptr<FrameStore> store_;
};

// "Tarvex - name", or "Tarvex - (Untitled)" before any file was opened or saved.
std::string window_title(const std::string& current_file_name);

}  // namespace tarvex
