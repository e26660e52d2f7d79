// The batch list as the user sees it: five columns (Source, Dest, Profile,
// Status, Meta), several rows selectable, whole rows selected, and the
// selection still shown while the list has no focus. Each row carries the
// index of its job as item data.
//
// A right-click follows the list's own rule: over no row nothing happens;
// over a row that is not selected, that row alone becomes the selection;
// then contextMenuRequested asks for the Selection menu at the cursor.
#pragma once

#include <QTreeWidget>

#include <array>
#include <string>

namespace moxel::gui {

class BatchListWidget : public QTreeWidget {
    Q_OBJECT
  public:
    enum Column { SourceColumn, DestColumn, ProfileColumn, StatusColumn, MetaColumn };
    static constexpr int kColumns = 5;
    static constexpr int kJobIndexRole = Qt::UserRole;

    explicit BatchListWidget(QWidget* parent = nullptr);

    // Column widths in pixels, Source first. The first two are never made
    // narrower than 16.
    void setColumnWidths(const std::array<int, kColumns>& widths);
    std::array<int, kColumns> columnWidths() const;

    // Row operations the batch list works through.
    int rowCount() const { return topLevelItemCount(); }
    void removeAllRows();
    void appendRow(const std::string& source, int jobIndex);
    void setCellText(int row, int column, const std::string& text);
    std::string cellText(int row, int column) const;
    int rowJobIndex(int row) const;
    bool isRowSelected(int row) const;
    void setRowSelected(int row, bool selected);
    // The focused (current) row, or -1.
    int focusedRow() const;
    void setFocusedRow(int row);
    int firstVisibleRow() const;
    // Makes row the first visible row, as far as the list can scroll.
    void scrollToFirstVisible(int row);
    int selectedRowCount() const;

  signals:
    void contextMenuRequested(const QPoint& globalPos);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QTreeWidgetItem* row(int index) const { return topLevelItem(index); }
};

} // namespace moxel::gui
