// The message boxes of the profile editor.
#pragma once

#include <string>

class QWidget;

namespace moxel {

inline constexpr const char* kNoticeTitle = "Notice";
inline constexpr const char* kBadNameText =
    "Slashes and periods are not permitted in profile names";

// "Notice": the profile name holds a slash, a backslash or a period.
void showBadNameNotice(QWidget* owner);
// "Error": path could not be written, so what the user chose is not stored.
void showNotWritten(QWidget* owner, const std::string& path);

} // namespace moxel
