// How the program calls the profile editor. libKmfConfigDialog.so lies beside
// the program and exports one entry with C linkage, ProfileEditDialog. The
// program loads the library by name for each edit, looks the entry up, calls
// it, unloads the library and reloads the profile from its file:
//
//   void* lib = dlopen((programFolder + "/" + moxel::kProfileEditorLibrary).c_str(),
//                      RTLD_NOW | RTLD_LOCAL);
//   auto edit = reinterpret_cast<KmfProfileEditDialogFn>(
//       dlsym(lib, moxel::kProfileEditEntry));
//   edit(parentWindow, profilePath.c_str());
//   dlclose(lib);
//
// The entry takes the owner window (or null) and the profile's .pf file path
// (UTF-8). It shows the profile edit dialog modally and returns when it has
// closed: true when the user pressed OK (the file holds the edit), false on
// Cancel or the close box (the file is back as it was, byte for byte), for an
// empty path, and without touching the file when the process runs no
// QApplication or the call comes from another thread than the application's
// (a diagnostic line says which). Only the path crosses between the two:
// nothing allocated by one is freed by the other.
#pragma once

class QWidget;

extern "C" {
typedef bool (*KmfProfileEditDialogFn)(QWidget* parent, const char* profilePath);

// The definition in the library is checked against this declaration.
bool ProfileEditDialog(QWidget* parent, const char* profilePath);
}

namespace moxel {

inline constexpr const char* kProfileEditorLibrary = "libKmfConfigDialog.so";
inline constexpr const char* kProfileEditEntry = "ProfileEditDialog";

} // namespace moxel
