#include "app/gui/BatchListWidget.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace moxel::gui {

namespace {

constexpr int kMinimumPathColumnWidth = 16;

} // namespace

BatchListWidget::BatchListWidget(QWidget* parent) : QTreeWidget(parent)
{
    setColumnCount(kColumns);
    setHeaderLabels({"Source", "Dest", "Profile", "Status", "Meta"});
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideMiddle);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    // The right-click is handled below; no second menu from the platform.
    setContextMenuPolicy(Qt::PreventContextMenu);

    // Keep the selection visible while the focus is elsewhere.
    QPalette colours = palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
    setPalette(colours);
}

void BatchListWidget::setColumnWidths(const std::array<int, kColumns>& widths)
{
    for (int column = 0; column < kColumns; ++column) {
        int width = widths[size_t(column)];
        if (column <= DestColumn)
            width = std::max(width, kMinimumPathColumnWidth);
        setColumnWidth(column, std::max(width, 0));
    }
}

std::array<int, BatchListWidget::kColumns> BatchListWidget::columnWidths() const
{
    std::array<int, kColumns> widths{};
    for (int column = 0; column < kColumns; ++column)
        widths[size_t(column)] = columnWidth(column);
    return widths;
}

void BatchListWidget::removeAllRows()
{
    clear();
}

void BatchListWidget::appendRow(const std::string& source, int jobIndex)
{
    auto* item = new QTreeWidgetItem(this);
    item->setText(SourceColumn, QString::fromStdString(source));
    item->setData(SourceColumn, kJobIndexRole, jobIndex);
    item->setToolTip(SourceColumn, QString::fromStdString(source));
}

void BatchListWidget::setCellText(int index, int column, const std::string& text)
{
    if (QTreeWidgetItem* item = row(index)) {
        item->setText(column, QString::fromStdString(text));
        if (column == DestColumn)
            item->setToolTip(column, item->text(column));
    }
}

std::string BatchListWidget::cellText(int index, int column) const
{
    const QTreeWidgetItem* item = row(index);
    return item ? item->text(column).toStdString() : std::string();
}

int BatchListWidget::rowJobIndex(int index) const
{
    const QTreeWidgetItem* item = row(index);
    return item ? item->data(SourceColumn, kJobIndexRole).toInt() : -1;
}

bool BatchListWidget::isRowSelected(int index) const
{
    const QTreeWidgetItem* item = row(index);
    return item && item->isSelected();
}

void BatchListWidget::setRowSelected(int index, bool selected)
{
    if (QTreeWidgetItem* item = row(index))
        item->setSelected(selected);
}

int BatchListWidget::focusedRow() const
{
    const QTreeWidgetItem* item = currentItem();
    return item ? indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item)) : -1;
}

void BatchListWidget::setFocusedRow(int index)
{
    if (QTreeWidgetItem* item = row(index))
        setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
}

int BatchListWidget::firstVisibleRow() const
{
    const QTreeWidgetItem* item = itemAt(QPoint(1, 1));
    return item ? indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item)) : 0;
}

void BatchListWidget::scrollToFirstVisible(int index)
{
    if (QTreeWidgetItem* item = row(index))
        scrollToItem(item, QAbstractItemView::PositionAtTop);
}

int BatchListWidget::selectedRowCount() const
{
    return int(selectedItems().size());
}

void BatchListWidget::mousePressEvent(QMouseEvent* event)
{
    // The right button acts on release only, so a press must not change the
    // selection the way the list's own handling would.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void BatchListWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::RightButton) {
        QTreeWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    if (!item)
        return;
    if (!item->isSelected()) {
        clearSelection();
        item->setSelected(true);
        setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
    }
    emit contextMenuRequested(event->globalPosition().toPoint());
}

} // namespace moxel::gui
