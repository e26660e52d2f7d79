// The worker's priority setting (prefs_priority) on this system. The values
// are the desktop program's thread priority levels: -15 idle, -2 lowest,
// -1 below normal (the default), 0 normal, 1 above normal, 2 highest,
// 15 time critical. Each maps to a nice value of the calling thread only;
// raising a thread above normal usually needs privileges, so applying is
// best effort.
#pragma once

namespace moxel {

// The nice value for a priority level: -level x 5 within -20..19, so -1
// gives 5, -2 gives 10, -15 gives 19, 1 gives -5 and 15 gives -20.
int niceValueForPriority(int level);

// Sets the calling thread's nice value for level. False when the system
// refused (the thread keeps the value it had).
bool applyThreadPriority(int level);

} // namespace moxel
