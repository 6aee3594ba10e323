#include "platform/host_version.h"

#include <sys/utsname.h>

#include <cstdio>

namespace tarvex {

HostVersion host_kernel_version() {
  HostVersion v;
  struct utsname u;
  if (uname(&u) != 0) return v;
  if (std::sscanf(u.release, "%d.%d", &v.major, &v.minor) < 2) v.minor = 0;
  return v;
}

}  // namespace tarvex
