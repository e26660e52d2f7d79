// The program's fixed message boxes. Each is modal to its owner.
#pragma once

#include <string>

class QWidget;

namespace moxel::gui {

// "Oops" with an OK button: "Please select something first..." and the like.
void showOops(QWidget* owner, const std::string& text);
// "About Moxel".
void showAbout(QWidget* owner);
// "Close Moxel": true for OK.
bool confirmClose(QWidget* owner);

// Object names that tests and the screenshot run find the boxes by.
inline constexpr const char* kOopsBoxName = "oopsBox";
inline constexpr const char* kAboutBoxName = "aboutBox";
inline constexpr const char* kCloseBoxName = "closeConfirmBox";

} // namespace moxel::gui
