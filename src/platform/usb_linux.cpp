#include "platform/usb_linux.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#ifdef TARVEX_HAVE_USB
#include <hidapi/hidapi.h>
#include <libusb.h>
#endif

namespace tarvex {

#ifdef TARVEX_HAVE_USB

namespace {

constexpr int CLASS_HID = 0x03;
constexpr int CLASS_VENDOR = 0xFF;

// What makes a device the camera: a HID interface and a vendor-specific
// interface with a bulk IN endpoint.
struct CameraDevice {
  int bus = 0;
  int address = 0;
  int bulk_interface = -1;
  int bulk_endpoint = 0;
  bool has_hid = false;
};

bool inspect(libusb_device* dev, CameraDevice& out) {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(dev, &config) != 0 &&
      libusb_get_config_descriptor(dev, 0, &config) != 0)
    return false;
  out = CameraDevice{};
  out.bus = libusb_get_bus_number(dev);
  out.address = libusb_get_device_address(dev);
  for (int i = 0; i < config->bNumInterfaces; ++i) {
    const libusb_interface& itf = config->interface[i];
    for (int a = 0; a < itf.num_altsetting; ++a) {
      const libusb_interface_descriptor& d = itf.altsetting[a];
      if (d.bInterfaceClass == CLASS_HID) out.has_hid = true;
      if (d.bInterfaceClass != CLASS_VENDOR || out.bulk_interface >= 0) continue;
      for (int e = 0; e < d.bNumEndpoints; ++e) {
        const libusb_endpoint_descriptor& ep = d.endpoint[e];
        if ((ep.bmAttributes & 0x03) == LIBUSB_TRANSFER_TYPE_BULK &&
            (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0) {
          out.bulk_interface = d.bInterfaceNumber;
          out.bulk_endpoint = ep.bEndpointAddress;
          break;
        }
      }
    }
  }
  libusb_free_config_descriptor(config);
  return out.has_hid && out.bulk_interface >= 0;
}

int read_number(const std::filesystem::path& file) {
  std::ifstream in(file);
  int v = -1;
  if (!(in >> v)) return -1;
  return v;
}

// Bus and address of the USB device behind a hidraw node, from sysfs.
bool hidraw_bus_address(const std::string& path, int& bus, int& address) {
  namespace fs = std::filesystem;
  const std::string node = fs::path(path).filename().string();
  std::error_code ec;
  fs::path dir = fs::canonical(fs::path("/sys/class/hidraw") / node / "device", ec);
  if (ec) return false;
  for (int depth = 0; depth < 8 && !dir.empty() && dir != dir.root_path(); ++depth) {
    if (fs::exists(dir / "busnum", ec) && fs::exists(dir / "devnum", ec)) {
      bus = read_number(dir / "busnum");
      address = read_number(dir / "devnum");
      return bus >= 0 && address >= 0;
    }
    dir = dir.parent_path();
  }
  return false;
}

// HID strings are wide; the text keeps the low byte of each character.
std::string narrow(const wchar_t* w) {
  std::string s;
  if (w == nullptr) return s;
  for (; *w != 0; ++w) {
    const char c = static_cast<char>(static_cast<unsigned>(*w) & 0xFF);
    if (c == 0) break;
    s.push_back(c);
  }
  return s;
}

std::string string_descriptor(libusb_device_handle* h, std::uint8_t index) {
  if (h == nullptr || index == 0) return {};
  unsigned char text[256];
  const int n = libusb_get_string_descriptor_ascii(h, index, text, sizeof text);
  return n > 0 ? std::string(reinterpret_cast<char*>(text), static_cast<std::size_t>(n))
               : std::string();
}

int errno_of(int libusb_error) {
  switch (libusb_error) {
    case LIBUSB_ERROR_TIMEOUT: return ETIMEDOUT;
    case LIBUSB_ERROR_NO_DEVICE: return ENODEV;
    case LIBUSB_ERROR_ACCESS: return EACCES;
    case LIBUSB_ERROR_BUSY: return EBUSY;
    case LIBUSB_ERROR_PIPE: return EPIPE;
    case LIBUSB_ERROR_OVERFLOW: return EOVERFLOW;
    case LIBUSB_ERROR_NO_MEM: return ENOMEM;
    case LIBUSB_ERROR_INTERRUPTED: return EINTR;
    case LIBUSB_ERROR_INVALID_PARAM: return EINVAL;
    default: return EIO;
  }
}

}  // namespace

struct LinuxUsbTransport::State {
  libusb_context* usb = nullptr;
  bool usb_ready = false;
  bool hid_ready = false;
  hid_device* hid = nullptr;
  libusb_device_handle* block = nullptr;
  int block_interface = -1;
  unsigned char block_endpoint = 0;
  int next_handle = 1;

  bool ready() {
    if (!usb_ready) usb_ready = libusb_init(&usb) == 0;
    if (!hid_ready) hid_ready = hid_init() == 0;
    return usb_ready && hid_ready;
  }
  void close_block() {
    if (block != nullptr) {
      libusb_release_interface(block, block_interface);
      libusb_close(block);
      block = nullptr;
    }
  }
  ~State() {
    if (hid != nullptr) hid_close(hid);
    close_block();
    if (hid_ready) hid_exit();
    if (usb_ready) libusb_exit(usb);
  }
};

LinuxUsbTransport::LinuxUsbTransport() : state_(std::make_unique<State>()) {}
LinuxUsbTransport::~LinuxUsbTransport() = default;

std::optional<std::vector<UsbInterface>> LinuxUsbTransport::list_interfaces(UsbClass cls) {
  State& s = *state_;
  if (!s.ready()) return std::nullopt;
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(s.usb, &list);
  if (count < 0) return std::nullopt;
  std::vector<UsbInterface> out;
  std::vector<CameraDevice> cameras;
  for (ssize_t i = 0; i < count; ++i) {
    CameraDevice c;
    if (!inspect(list[i], c)) continue;
    cameras.push_back(c);
    if (cls != UsbClass::Block) continue;
    libusb_device_descriptor desc{};
    libusb_get_device_descriptor(list[i], &desc);
    UsbInterface itf;
    char path[64];
    std::snprintf(path, sizeof path, "usb:%d:%d:%d:%d", c.bus, c.address, c.bulk_interface,
                  c.bulk_endpoint);
    itf.path = path;
    itf.vendor_id = desc.idVendor;
    itf.product_id = desc.idProduct;
    // The strings need the device open; without access they stay empty.
    libusb_device_handle* h = nullptr;
    if (libusb_open(list[i], &h) == 0) {
      itf.manufacturer = string_descriptor(h, desc.iManufacturer);
      itf.product = string_descriptor(h, desc.iProduct);
      libusb_close(h);
    }
    out.push_back(itf);
  }
  libusb_free_device_list(list, 1);
  if (cls == UsbClass::Block) return out;

  hid_device_info* devices = hid_enumerate(0, 0);
  for (hid_device_info* d = devices; d != nullptr; d = d->next) {
    if (d->bus_type != HID_API_BUS_USB || d->path == nullptr) continue;
    int bus = -1, address = -1;
    if (!hidraw_bus_address(d->path, bus, address)) continue;
    bool camera = false;
    for (const auto& c : cameras) camera = camera || (c.bus == bus && c.address == address);
    if (!camera) continue;
    UsbInterface itf;
    itf.path = d->path;
    itf.vendor_id = d->vendor_id;
    itf.product_id = d->product_id;
    itf.manufacturer = narrow(d->manufacturer_string);
    itf.product = narrow(d->product_string);
    out.push_back(itf);
  }
  hid_free_enumeration(devices);
  return out;
}

int LinuxUsbTransport::open_interface(UsbClass cls, const UsbInterface& which) {
  State& s = *state_;
  if (!s.ready()) return 0;
  if (cls == UsbClass::Hid) {
    hid_device* h = hid_open_path(which.path.c_str());
    if (h == nullptr) return 0;
    if (s.hid != nullptr) hid_close(s.hid);
    s.hid = h;
    return s.next_handle++;
  }
  int bus = 0, address = 0, interface = 0, endpoint = 0;
  if (std::sscanf(which.path.c_str(), "usb:%d:%d:%d:%d", &bus, &address, &interface, &endpoint) !=
      4)
    return 0;
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(s.usb, &list);
  if (count < 0) return 0;
  libusb_device_handle* h = nullptr;
  for (ssize_t i = 0; i < count && h == nullptr; ++i) {
    if (libusb_get_bus_number(list[i]) != bus || libusb_get_device_address(list[i]) != address)
      continue;
    if (libusb_open(list[i], &h) != 0) h = nullptr;
  }
  libusb_free_device_list(list, 1);
  if (h == nullptr) return 0;
  libusb_set_auto_detach_kernel_driver(h, 1);
  if (libusb_claim_interface(h, interface) != 0) {
    libusb_close(h);
    return 0;
  }
  s.close_block();
  s.block = h;
  s.block_interface = interface;
  s.block_endpoint = static_cast<unsigned char>(endpoint);
  return s.next_handle++;
}

int LinuxUsbTransport::write_report(std::span<const std::uint8_t> report) {
  State& s = *state_;
  if (s.hid == nullptr) return ENODEV;
  errno = 0;
  const int n = hid_write(s.hid, report.data(), report.size());
  if (n < 0) return errno != 0 ? errno : EIO;
  return 0;
}

UsbRead LinuxUsbTransport::bulk_read(std::span<std::uint8_t> destination) {
  State& s = *state_;
  if (s.block == nullptr) return {ENODEV, 0};
  int transferred = 0;
  const int r =
      libusb_bulk_transfer(s.block, s.block_endpoint, destination.data(),
                           static_cast<int>(destination.size()), &transferred, BULK_TIMEOUT_MS);
  return {r == 0 ? 0 : errno_of(r), transferred > 0 ? static_cast<std::size_t>(transferred) : 0};
}

UsbRead LinuxUsbTransport::bulk_read_waiting(std::span<std::uint8_t> destination,
                                             const std::function<void()>& while_waiting) {
  State& s = *state_;
  if (s.block == nullptr) return {ENODEV, 0};
  if (!while_waiting) return bulk_read(destination);
  libusb_transfer* t = libusb_alloc_transfer(0);
  if (t == nullptr) return {ENOMEM, 0};
  int completed = 0;
  libusb_fill_bulk_transfer(
      t, s.block, s.block_endpoint, destination.data(), static_cast<int>(destination.size()),
      [](libusb_transfer* done) { *static_cast<int*>(done->user_data) = 1; }, &completed,
      BULK_TIMEOUT_MS);
  const int submitted = libusb_submit_transfer(t);
  if (submitted != 0) {
    libusb_free_transfer(t);
    return {errno_of(submitted), 0};
  }
  while (completed == 0) {
    timeval step{0, 40000};
    const int r = libusb_handle_events_timeout_completed(s.usb, &step, &completed);
    if (r != 0 && r != LIBUSB_ERROR_INTERRUPTED) {
      // The transfer is given up; its buffer must not be freed under it.
      libusb_cancel_transfer(t);
      while (completed == 0) libusb_handle_events_completed(s.usb, &completed);
      break;
    }
    if (completed == 0) while_waiting();
  }
  int error = 0;
  switch (t->status) {
    case LIBUSB_TRANSFER_COMPLETED: break;
    case LIBUSB_TRANSFER_TIMED_OUT: error = ETIMEDOUT; break;
    case LIBUSB_TRANSFER_STALL: error = EPIPE; break;
    case LIBUSB_TRANSFER_NO_DEVICE: error = ENODEV; break;
    case LIBUSB_TRANSFER_OVERFLOW: error = EOVERFLOW; break;
    case LIBUSB_TRANSFER_CANCELLED: error = EINTR; break;
    default: error = EIO; break;
  }
  const std::size_t received =
      t->actual_length > 0 ? static_cast<std::size_t>(t->actual_length) : 0;
  libusb_free_transfer(t);
  return {error, received};
}

#else  // built without hidapi and libusb: no camera can be found

struct LinuxUsbTransport::State {};
LinuxUsbTransport::LinuxUsbTransport() : state_(std::make_unique<State>()) {}
LinuxUsbTransport::~LinuxUsbTransport() = default;
std::optional<std::vector<UsbInterface>> LinuxUsbTransport::list_interfaces(UsbClass) {
  return std::nullopt;
}
int LinuxUsbTransport::open_interface(UsbClass, const UsbInterface&) {
  return 0;
}
int LinuxUsbTransport::write_report(std::span<const std::uint8_t>) {
  return ENODEV;
}
UsbRead LinuxUsbTransport::bulk_read(std::span<std::uint8_t>) {
  return {ENODEV, 0};
}
UsbRead LinuxUsbTransport::bulk_read_waiting(std::span<std::uint8_t>,
                                             const std::function<void()>&) {
  return {ENODEV, 0};
}

#endif

}  // namespace tarvex
