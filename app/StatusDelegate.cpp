#include "app/StatusDelegate.h"

#include "app/QueueMonitor.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionProgressBar>

namespace moxel::gui {

void StatusDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const
{
    const QVariant fraction = index.data(QueueMonitor::kFractionRole);
    if (!fraction.isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The row's selection background first, then the bar inside it.
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    QStyleOptionProgressBar bar;
    bar.rect = option.rect.adjusted(1, 1, -1, -1);
    bar.state = option.state | QStyle::State_Horizontal;
    bar.minimum = 0;
    bar.maximum = 1000;
    bar.progress = int(fraction.toDouble() * 1000);
    bar.textVisible = true;
    bar.textAlignment = Qt::AlignCenter;
    bar.text = index.data(Qt::DisplayRole).toString() + "  " +
               index.data(QueueMonitor::kProgressTextRole).toString();
    bar.fontMetrics = option.fontMetrics;
    bar.palette = option.palette;
    style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
}

} // namespace moxel::gui
