// "Change Profile": one profile for the selected jobs. Cancel and Escape
// change nothing; the close box acts as OK.
#pragma once

#include "app/OkOnCloseDialog.h"

#include <string>
#include <vector>

namespace moxel::gui {

class ProfileListBox;

class ChangeProfileDialog : public OkOnCloseDialog {
    Q_OBJECT
  public:
    ChangeProfileDialog(const std::vector<std::string>& names, int highlighted,
                        QWidget* parent = nullptr);

    int highlightedProfile() const;
    ProfileListBox* profileList() const { return m_profiles; }

  private:
    ProfileListBox* m_profiles;
};

} // namespace moxel::gui
