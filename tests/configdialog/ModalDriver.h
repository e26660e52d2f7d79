// Drives modal dialogs from tests. A modal dialog runs its own event loop, so
// a test arranges beforehand what to do once the dialog is up; whenModal
// runs the action from that loop. An action may arrange the next one before
// it opens a nested dialog.
#pragma once

#include <QString>

#include <functional>
#include <string>

class QWidget;

namespace moxel::test {

// Runs action on the next visible modal window titled title. Fails the test
// and closes the modal windows when none appears within many event-loop
// turns.
void whenModal(const QString& title, std::function<void(QWidget*)> action);

// The profile with the given text (lines joined with CR LF).
void writeProfile(const std::string& path, const std::string& linesWithLf);

// Sends the Escape key to widget.
void pressEscape(QWidget* widget);

} // namespace moxel::test
