// The version of the running system kernel.
#pragma once

namespace tarvex {

struct HostVersion {
  int major = 0;
  int minor = 0;
};

// Major and minor version numbers of the kernel; 0, 0 when unknown.
HostVersion host_kernel_version();

}  // namespace tarvex
