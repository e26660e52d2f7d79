#include "app/BatchListWidget.h"

#include "app/StatusDelegate.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

namespace moxel::gui {

namespace {

constexpr int kMinimumPathColumnWidth = 16;
constexpr std::array kStretchingColumns{BatchColumn::Source, BatchColumn::Status,
                                        BatchColumn::Meta};

int floorOf(int column)
{
    return column <= int(BatchColumn::Dest) ? kMinimumPathColumnWidth : 0;
}

std::vector<std::string> localPaths(const QMimeData* data)
{
    std::vector<std::string> paths;
    if (data)
        for (const QUrl& url : data->urls())
            if (url.isLocalFile())
                paths.push_back(url.toLocalFile().toStdString());
    return paths;
}

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
    header()->setMinimumSectionSize(kMinimumPathColumnWidth);
    header()->setSectionsMovable(false);
    // The right-click is handled below; no second menu from the platform.
    setContextMenuPolicy(Qt::PreventContextMenu);

    header()->setSectionResizeMode(QHeaderView::Interactive);
    connect(header(), &QHeaderView::sectionResized, this,
            [this](int column, int, int width) { columnResized(column, width); });

    setItemDelegateForColumn(int(BatchColumn::Status), new StatusDelegate(this));
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);

    // Keep the selection visible while the focus is elsewhere.
    QPalette colours = palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
    setPalette(colours);
}

void BatchListWidget::setColumnWidths(const std::array<int, kColumns>& widths)
{
    for (int column = 0; column < kColumns; ++column)
        m_widths[size_t(column)] = std::max(widths[size_t(column)], floorOf(column));
    layOutColumns();
}

void BatchListWidget::layOutColumns()
{
    int sum = 0;
    for (int width : m_widths)
        sum += width;
    const int room = std::max(viewport()->width() - sum, 0);
    m_shares.fill(0);
    const int count = int(kStretchingColumns.size());
    for (int i = 0; i < count; ++i)
        m_shares[size_t(kStretchingColumns[size_t(i)])] = room / count + (i < room % count ? 1 : 0);
    m_layingOut = true;
    for (int column = 0; column < kColumns; ++column)
        setColumnWidth(column, m_widths[size_t(column)] + m_shares[size_t(column)]);
    m_layingOut = false;
}

void BatchListWidget::columnResized(int column, int width)
{
    if (m_layingOut || column < 0 || column >= kColumns)
        return;
    // The column keeps the width the user dragged it to; the room is shared
    // out again at the next change of the list's size.
    const size_t at = size_t(column);
    m_widths[at] = std::max(width - m_shares[at], floorOf(column));
    m_shares[at] = width - m_widths[at];
}

void BatchListWidget::resizeEvent(QResizeEvent* event)
{
    QTreeWidget::resizeEvent(event);
    layOutColumns();
}

void BatchListWidget::deleteAllRows()
{
    clear();
}

void BatchListWidget::appendRow(const std::string& text, int64_t itemData)
{
    auto* item = new QTreeWidgetItem(this);
    item->setText(0, QString::fromStdString(text));
    item->setToolTip(0, item->text(0));
    item->setData(0, kJobIndexRole, qint64(itemData));
}

int64_t BatchListWidget::itemData(int index) const
{
    const QTreeWidgetItem* item = row(index);
    return item ? item->data(0, kJobIndexRole).toLongLong() : -1;
}

std::string BatchListWidget::cellText(int index, BatchColumn column) const
{
    const QTreeWidgetItem* item = row(index);
    return item ? item->text(int(column)).toStdString() : std::string();
}

void BatchListWidget::setCellText(int index, BatchColumn column, const std::string& text)
{
    QTreeWidgetItem* item = row(index);
    if (!item)
        return;
    item->setText(int(column), QString::fromStdString(text));
    if (column != BatchColumn::Status)
        item->setToolTip(int(column), item->text(int(column)));
}

bool BatchListWidget::isSelected(int index) const
{
    const QTreeWidgetItem* item = row(index);
    return item && item->isSelected();
}

void BatchListWidget::setSelected(int index, bool selected)
{
    if (QTreeWidgetItem* item = row(index))
        item->setSelected(selected);
}

bool BatchListWidget::isFocused(int index) const
{
    const QTreeWidgetItem* item = row(index);
    return item && item == currentItem();
}

void BatchListWidget::setFocused(int index)
{
    if (QTreeWidgetItem* item = row(index))
        setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
}

int BatchListWidget::firstVisibleRow() const
{
    const QTreeWidgetItem* item = itemAt(QPoint(1, 1));
    return item ? indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item)) : 0;
}

void BatchListWidget::scrollToRow(int index)
{
    if (QTreeWidgetItem* item = row(index))
        scrollToItem(item, QAbstractItemView::PositionAtTop);
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

void BatchListWidget::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void BatchListWidget::dragMoveEvent(QDragMoveEvent* event)
{
    if (localPaths(event->mimeData()).empty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void BatchListWidget::dropEvent(QDropEvent* event)
{
    std::vector<std::string> paths = localPaths(event->mimeData());
    if (paths.empty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // The dialogs that follow must not run inside the drop itself.
    QTimer::singleShot(0, this, [this, paths] { emit pathsDropped(paths); });
}

} // namespace moxel::gui
