// The "Jobs at once" preference: how many jobs the batch list's scheduler
// runs at the same time. Stored in the settings as prefs_jobs; 1, the
// default, converts one job after another.
#pragma once

namespace moxel {

inline constexpr const char* kJobsAtOnceKey = "prefs_jobs";
inline constexpr int kDefaultJobsAtOnce = 1;
// The most the Preferences dialog offers. A stored value above it is used
// as it is; one below 1 counts as 1.
inline constexpr int kMostJobsAtOnceOffered = 16;

// The preference as the scheduler reads it, at every tick, from
// programFolders().settings (the default when there are none).
int jobsAtOnceSetting();

} // namespace moxel
