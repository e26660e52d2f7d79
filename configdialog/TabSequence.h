// The keyboard order of a dialog: Tab visits the entries in the order given,
// the way the dialog's control table lists them, and Shift+Tab goes back.
// An entry that takes no focus itself (a codec panel's frame) stands for the
// controls inside it, in the order the panel gave them; set the sequence
// again after such a container's contents change.
#pragma once

#include <vector>

class QWidget;

namespace moxel {

// Chains the entries' controls in order. Entries must share one window.
void setTabSequence(const std::vector<QWidget*>& entries);

// The controls Tab visits for the entries, in order (what setTabSequence
// chains): an entry that takes Tab itself, or the Tab-taking controls
// inside it.
std::vector<QWidget*> tabControls(const std::vector<QWidget*>& entries);

} // namespace moxel
