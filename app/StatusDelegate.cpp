#include "app/StatusDelegate.h"

#include "app/QueueMonitor.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionProgressBar>

namespace moxel::gui {

namespace {

// Room the style keeps between the bar's edge and its text.
constexpr int kTextMargin = 4;

} // namespace

QString StatusDelegate::barText(const QFontMetrics& metrics, int width, const QModelIndex& index)
{
    const QString status = index.data(Qt::DisplayRole).toString();
    const QString progress = index.data(QueueMonitor::kProgressTextRole).toString();
    const QString percent =
        QString("%1%").arg(int(index.data(QueueMonitor::kFractionRole).toDouble() * 100));
    const QString left = index.data(QueueMonitor::kTimeLeftRole).toString();
    QStringList choices;
    if (!status.isEmpty())
        choices << status + " · " + progress;
    choices << progress;
    if (!left.isEmpty())
        choices << percent + " " + left;
    choices << percent;
    for (const QString& text : choices)
        if (metrics.horizontalAdvance(text) <= width - 2 * kTextMargin)
            return text;
    return percent;
}

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
    bar.text = barText(option.fontMetrics, bar.rect.width(), index);
    bar.fontMetrics = option.fontMetrics;
    bar.palette = option.palette;
    style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
}

} // namespace moxel::gui
