#include "platform/host_version.h"

#include <sys/utsname.h>

#include <cstdio>

namespace tarvex {

void host_kernel_version(int& major, int& minor) {
  major = minor = 0;
  struct utsname u;
  if (uname(&u) != 0) return;
  if (std::sscanf(u.release, "%d.%d", &major, &minor) < 2) minor = 0;
}

}  // namespace tarvex
