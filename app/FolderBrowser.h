// Choosing a folder: the folder browser opens on the initial folder (or its
// nearest existing parent) and yields a folder path, or nothing when it is
// cancelled. Only real folders can be chosen.
#pragma once

#include <optional>
#include <string>

class QWidget;

namespace moxel::gui {

std::optional<std::string> browseForFolder(QWidget* owner, const std::string& initialFolder,
                                           const std::string& title);

} // namespace moxel::gui
