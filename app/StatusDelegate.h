// Draws the Status cell of a running job as a progress bar holding the
// status text and, when known, the percentage and time left.
#pragma once

#include <QStyledItemDelegate>

namespace moxel::gui {

class StatusDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

} // namespace moxel::gui
