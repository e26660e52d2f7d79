#include "app/BatchListWidget.h"

#include "app/StatusDelegate.h"

#include <QCoreApplication>
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
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDragDropOverwriteMode(false);
    setDropIndicatorShown(true);
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { emit rowDoubleClicked(indexOfTopLevelItem(item)); });

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
    // Rows are dropped between rows, never onto one.
    item->setFlags(item->flags() & ~Qt::ItemIsDropEnabled);
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
    if (draggedRows(event->mimeData())) {
        // The base class scrolls near the edges and draws the drop line.
        QTreeWidget::dragMoveEvent(event);
        event->setDropAction(Qt::MoveAction);
        event->accept();
        return;
    }
    if (localPaths(event->mimeData()).empty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void BatchListWidget::dropEvent(QDropEvent* event)
{
    if (const std::optional<std::vector<int>> rows = draggedRows(event->mimeData())) {
        const int before = dropRow(event->position().toPoint());
        // Not a move for the drag: the base class would take the rows out.
        event->setDropAction(Qt::CopyAction);
        event->accept();
        // Ends the drag's scrolling and drop line as leaving would.
        QDragLeaveEvent leave;
        QTreeWidget::dragLeaveEvent(&leave);
        QTimer::singleShot(0, this,
                           [this, dragged = *rows, before] { emit rowsDragged(dragged, before); });
        return;
    }
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

QByteArray BatchListWidget::dragOrigin() const
{
    return QByteArray::number(QCoreApplication::applicationPid()) + ":" +
           QByteArray::number(quintptr(this));
}

QMimeData* BatchListWidget::rowsData(const std::vector<int>& rows) const
{
    QByteArray bytes = dragOrigin();
    for (int r : rows)
        bytes += " " + QByteArray::number(r);
    auto* data = new QMimeData;
    data->setData(kRowsMimeType, bytes);
    return data;
}

std::optional<std::vector<int>> BatchListWidget::draggedRows(const QMimeData* data) const
{
    if (!data || !data->hasFormat(kRowsMimeType))
        return std::nullopt;
    const QList<QByteArray> words = data->data(kRowsMimeType).split(' ');
    if (words.isEmpty() || words.front() != dragOrigin())
        return std::nullopt;
    std::vector<int> rows;
    for (qsizetype i = 1; i < words.size(); ++i) {
        bool ok = false;
        const int r = words[i].toInt(&ok);
        if (ok)
            rows.push_back(r);
    }
    return rows;
}

QStringList BatchListWidget::mimeTypes() const
{
    return {kRowsMimeType};
}

QMimeData* BatchListWidget::mimeData(const QList<QTreeWidgetItem*>& items) const
{
    std::vector<int> rows;
    for (QTreeWidgetItem* item : items)
        rows.push_back(indexOfTopLevelItem(item));
    std::sort(rows.begin(), rows.end());
    return rowsData(rows);
}

int BatchListWidget::dropRow(const QPoint& pos) const
{
    const QTreeWidgetItem* item = itemAt(pos);
    if (!item)
        return pos.y() < 0 ? 0 : rowCount();
    const int index = indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
    return pos.y() < visualItemRect(item).center().y() ? index : index + 1;
}

} // namespace moxel::gui
