// The batch list as the user sees it: five columns (Source, Dest, Profile,
// Status, Meta), several rows selectable, whole rows selected, and the
// selection still shown while the list has no focus. Each row carries the
// index of its job as item data.
//
// Names are elided in the middle; every cell but Status carries its full
// text as a tooltip (Status's tooltip holds a job's messages). The columns
// keep the widths the user gives them; when the list is wider than their
// sum, Source, Status and Meta share the rest.
//
// A right-click follows the list's own rule: over no row nothing happens;
// over a row that is not selected, that row alone becomes the selection;
// then contextMenuRequested asks for the Selection menu at the cursor.
//
// Rows can be dragged within the list: the drag carries the rows' numbers
// under kRowsMimeType, marked with this list and process so that another
// list's rows are never taken for its own, and a drop asks for the move with
// rowsDragged; the list itself moves nothing (the batch list rebuilds it).
// A double-click on a row gives rowDoubleClicked.
#pragma once

#include "jobs/BatchListView.h"

#include <QTreeWidget>

class QMimeData;

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace moxel::gui {

class BatchListWidget : public QTreeWidget, public BatchListView {
    Q_OBJECT
  public:
    static constexpr int kColumns = kBatchColumnCount;
    static constexpr int kJobIndexRole = Qt::UserRole;

    explicit BatchListWidget(QWidget* parent = nullptr);

    // Column widths in pixels, Source first, as the user set them: without
    // the share of the room left over that the stretching columns take. The
    // first two are never made narrower than 16.
    void setColumnWidths(const std::array<int, kColumns>& widths);
    std::array<int, kColumns> columnWidths() const { return m_widths; }

    // The batch list's view of the rows.
    void deleteAllRows() override;
    void appendRow(const std::string& text, int64_t itemData) override;
    int rowCount() const override { return topLevelItemCount(); }
    int64_t itemData(int row) const override;
    std::string cellText(int row, BatchColumn column) const override;
    void setCellText(int row, BatchColumn column, const std::string& text) override;
    bool isSelected(int row) const override;
    void setSelected(int row, bool selected) override;
    bool isFocused(int row) const override;
    void setFocused(int row) override;
    int firstVisibleRow() const override;
    void scrollToRow(int row) override;

    static constexpr const char* kRowsMimeType = "application/x-moxel-batch-rows";
    // What a drag of these rows carries.
    QMimeData* rowsData(const std::vector<int>& rows) const;
    // Where a drop at pos (viewport coordinates) puts the dragged rows: the
    // row they then stand before (rowCount: at the end).
    int dropRow(const QPoint& pos) const;

  signals:
    void contextMenuRequested(const QPoint& globalPos);
    // Files or folders were dropped on the list (local paths, as dropped).
    void pathsDropped(const std::vector<std::string>& paths);
    // Rows of this list were dragged to stand before row before.
    void rowsDragged(const std::vector<int>& rows, int before);
    void rowDoubleClicked(int row);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;

  private:
    QTreeWidgetItem* row(int index) const { return topLevelItem(index); }
    // Gives the columns their widths plus their share of the room left over.
    void layOutColumns();
    // The user dragged a column's edge.
    void columnResized(int column, int width);

    std::array<int, kColumns> m_widths{};
    std::array<int, kColumns> m_shares{};
    bool m_layingOut = false;
    // The rows a drag of this list carries; nullopt for anything else.
    std::optional<std::vector<int>> draggedRows(const QMimeData* data) const;
    QByteArray dragOrigin() const;
};

} // namespace moxel::gui
