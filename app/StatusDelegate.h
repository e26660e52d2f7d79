// Draws the Status cell of a running job whose progress is known as a
// progress bar. The bar's text is the longest of these that fits the cell:
//   "encoding [00:05] · 40% · 1:05 left", "40% · 1:05 left", "40% 1:05", "40%"
// so that the percent and the time left show at the column's default width
// of 100 pixels. Other cells are drawn as usual.
#pragma once

#include <QStyledItemDelegate>

namespace moxel::gui {

class StatusDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // The bar's text for a cell of that index, width pixels wide inside.
    static QString barText(const QFontMetrics& metrics, int width, const QModelIndex& index);
};

} // namespace moxel::gui
