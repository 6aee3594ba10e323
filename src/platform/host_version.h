// The version of the running system kernel.
#pragma once

namespace tarvex {

// Major and minor version numbers of the kernel; 0, 0 when unknown.
void host_kernel_version(int& major, int& minor);

}  // namespace tarvex
