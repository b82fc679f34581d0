// The process's memory as the end-to-end benches read it, from
// /proc/self/status.
#pragma once

#include <cstdint>

namespace romscriber::bench {

// A "VmRSS:"-style field of /proc/self/status in KiB, or -1.
std::int64_t StatusKiB(const char* field);

// Sets the peak (VmHWM) back to what is in use now, so that the next peak is
// a run's; memory freed before goes back to the system first, or the run
// would reuse it unseen. False when the system does not allow the reset.
bool ResetPeak();

}  // namespace romscriber::bench
