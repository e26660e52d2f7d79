// The profile list of Encoding Details and Change Profile: friendly names in
// store order, unsorted, with at most one highlighted entry.
#pragma once

#include <QListWidget>

#include <string>
#include <vector>

namespace moxel::gui {

class ProfileListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit ProfileListBox(QWidget* parent = nullptr);

    // Replaces the entries; highlighted -1 leaves none highlighted.
    void setProfiles(const std::vector<std::string>& names, int highlighted);
    // The highlighted entry, or -1.
    int highlighted() const;
    void setHighlighted(int index);
};

} // namespace moxel::gui
