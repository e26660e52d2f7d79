#include "app/ProfileListBox.h"

namespace moxel::gui {

ProfileListBox::ProfileListBox(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
    setUniformItemSizes(true);
}

void ProfileListBox::setProfiles(const std::vector<std::string>& names, int highlighted)
{
    clear();
    for (const std::string& name : names)
        addItem(QString::fromStdString(name));
    setHighlighted(highlighted);
}

int ProfileListBox::highlighted() const
{
    const QList<QListWidgetItem*> chosen = selectedItems();
    return chosen.isEmpty() ? -1 : row(chosen.first());
}

void ProfileListBox::setHighlighted(int index)
{
    clearSelection();
    if (index >= 0 && index < count()) {
        setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
        scrollToItem(item(index));
    } else {
        setCurrentRow(-1, QItemSelectionModel::NoUpdate);
    }
}

} // namespace moxel::gui
