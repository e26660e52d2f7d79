#include "app/ToolIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace moxel::gui {

namespace {

const QColor kInk(0x33, 0x3b, 0x45);
const QColor kPaper(0xfb, 0xfb, 0xf8);
const QColor kGreen(0x2e, 0x9e, 0x44);
const QColor kRed(0xcc, 0x33, 0x2b);
const QColor kBlue(0x2f, 0x6f, 0xba);
const QColor kAmber(0xe8, 0xa3, 0x17);

// Everything is drawn on a 16-unit grid and scaled.
void drawPage(QPainter& p)
{
    QPainterPath page;
    page.moveTo(2.5, 1.5);
    page.lineTo(9.5, 1.5);
    page.lineTo(12.5, 4.5);
    page.lineTo(12.5, 14.5);
    page.lineTo(2.5, 14.5);
    page.closeSubpath();
    p.setPen(QPen(kInk, 1.0));
    p.setBrush(kPaper);
    p.drawPath(page);
    p.drawLine(QPointF(9.5, 1.5), QPointF(9.5, 4.5));
    p.drawLine(QPointF(9.5, 4.5), QPointF(12.5, 4.5));
    p.setPen(QPen(kInk.lighter(220), 1.0));
    for (double y : {7.5, 9.5, 11.5})
        p.drawLine(QPointF(4.5, y), QPointF(8.0, y));
}

// A page with a round badge at its lower right holding two strokes.
void drawPageWithBadge(QPainter& p, const QColor& colour, QLineF first, QLineF second, double pen)
{
    drawPage(p);
    p.setPen(QPen(colour.darker(130), 1.0));
    p.setBrush(colour);
    p.drawEllipse(QRectF(8.0, 8.0, 7.5, 7.5));
    p.setPen(QPen(Qt::white, pen, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(first);
    p.drawLine(second);
}

void drawAdd(QPainter& p)
{
    drawPageWithBadge(p, kGreen, QLineF(11.75, 9.7, 11.75, 13.8), QLineF(9.7, 11.75, 13.8, 11.75),
                      1.6);
}

void drawRemove(QPainter& p)
{
    drawPageWithBadge(p, kRed, QLineF(10.2, 10.2, 13.3, 13.3), QLineF(13.3, 10.2, 10.2, 13.3), 1.5);
}

void drawEncode(QPainter& p)
{
    QPainterPath triangle;
    triangle.moveTo(3.5, 2.0);
    triangle.lineTo(14.0, 8.0);
    triangle.lineTo(3.5, 14.0);
    triangle.closeSubpath();
    p.setPen(QPen(kGreen.darker(140), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kGreen);
    p.drawPath(triangle);
}

void drawAbort(QPainter& p)
{
    p.setPen(QPen(kRed.darker(140), 1.0));
    p.setBrush(kRed);
    p.drawRoundedRect(QRectF(2.5, 2.5, 11.0, 11.0), 1.5, 1.5);
}

void drawProfiles(QPainter& p)
{
    p.setPen(QPen(kInk, 1.0));
    const QColor fills[] = {kBlue.lighter(170), kBlue.lighter(135), kBlue};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(fills[i]);
        p.drawRoundedRect(QRectF(1.5 + 2 * i, 1.5 + 2.5 * i, 9.0, 8.0), 1.0, 1.0);
    }
    p.setPen(QPen(Qt::white, 1.0));
    p.drawLine(QPointF(7.0, 9.5), QPointF(12.0, 9.5));
    p.drawLine(QPointF(7.0, 11.5), QPointF(10.5, 11.5));
}

void drawPreferences(QPainter& p)
{
    p.setPen(QPen(kInk, 1.2, Qt::SolidLine, Qt::RoundCap));
    for (double y : {3.5, 8.0, 12.5})
        p.drawLine(QPointF(2.0, y), QPointF(14.0, y));
    p.setPen(QPen(kInk, 1.0));
    p.setBrush(kAmber);
    const double knobs[] = {10.0, 5.0, 8.5};
    const double rows[] = {3.5, 8.0, 12.5};
    for (int i = 0; i < 3; ++i)
        p.drawRoundedRect(QRectF(knobs[i] - 1.75, rows[i] - 2.5, 3.5, 5.0), 1.0, 1.0);
}

void drawProgram(QPainter& p)
{
    p.setPen(QPen(kInk.darker(150), 0.8));
    p.setBrush(kInk);
    p.drawRoundedRect(QRectF(0.75, 2.25, 14.5, 11.5), 2.0, 2.0);
    p.setPen(Qt::NoPen);
    p.setBrush(kPaper);
    for (int i = 0; i < 5; ++i) {
        p.drawRect(QRectF(2.0 + 2.6 * i, 3.1, 1.4, 1.2));
        p.drawRect(QRectF(2.0 + 2.6 * i, 11.7, 1.4, 1.2));
    }
    QPainterPath triangle;
    triangle.moveTo(6.2, 5.4);
    triangle.lineTo(11.0, 8.0);
    triangle.lineTo(6.2, 10.6);
    triangle.closeSubpath();
    p.setBrush(kAmber);
    p.drawPath(triangle);
}

QPixmap render(ToolIcon which, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    switch (which) {
    case ToolIcon::AddSources:
        drawAdd(p);
        break;
    case ToolIcon::RemoveSelected:
        drawRemove(p);
        break;
    case ToolIcon::EncodeSelected:
        drawEncode(p);
        break;
    case ToolIcon::AbortSelected:
        drawAbort(p);
        break;
    case ToolIcon::ProfileManager:
        drawProfiles(p);
        break;
    case ToolIcon::Preferences:
        drawPreferences(p);
        break;
    case ToolIcon::Program:
        drawProgram(p);
        break;
    }
    return pixmap;
}

} // namespace

QIcon toolIcon(ToolIcon which)
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(render(which, size));
    return icon;
}

} // namespace moxel::gui
