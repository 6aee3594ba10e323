#include "app/about.h"

#include "platform/version.h"

namespace tarvex {

std::string about_text(const Paths& paths, const std::string& toolkit_version) {
  std::string t;
  t += std::string("Tarvex ") + PROGRAM_VERSION + "\n";
  t +=
      "Camera control, colour synthesis and image processing for a one-shot-colour CCD camera.\n\n";
  t += "Libraries used:\n";
  t += "  Qt " + toolkit_version +
       " (Widgets, Print Support): GNU Lesser General Public License v3 (LGPL-3.0)\n";
#ifdef TARVEX_HAVE_USB
  t += "  hidapi: BSD 3-Clause License (one of the licences hidapi is offered under)\n";
  t += "  libusb 1.0: GNU Lesser General Public License v2.1 or later (LGPL-2.1-or-later)\n";
#endif
  t += "  GNU C++ standard library: GPL-3.0 with the GCC Runtime Library Exception\n\n";
  t += "Data folder (settings, automatic saves, the recent files list):\n";
  t += "  " + paths.data_root().string() + "\n";
  return t;
}

}  // namespace tarvex
