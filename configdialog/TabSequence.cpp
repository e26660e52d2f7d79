#include "configdialog/TabSequence.h"

#include <QWidget>

namespace moxel {

namespace {

// What Tab stops at: Tab focus and no proxy (a compound control is reached
// through the control that it hands the focus to).
bool takesTab(const QWidget* widget)
{
    return (widget->focusPolicy() & Qt::TabFocus) != 0 && widget->focusProxy() == nullptr;
}

} // namespace

std::vector<QWidget*> tabControls(const std::vector<QWidget*>& entries)
{
    std::vector<QWidget*> controls;
    for (QWidget* entry : entries) {
        if (takesTab(entry)) {
            controls.push_back(entry);
            continue;
        }
        // The controls inside, in the window's present focus chain, which
        // holds every widget of the window once.
        QWidget* window = entry->window();
        for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain())
            if (entry->isAncestorOf(w) && takesTab(w))
                controls.push_back(w);
    }
    return controls;
}

void setTabSequence(const std::vector<QWidget*>& entries)
{
    const std::vector<QWidget*> controls = tabControls(entries);
    for (size_t i = 1; i < controls.size(); ++i)
        QWidget::setTabOrder(controls[i - 1], controls[i]);
}

} // namespace moxel
