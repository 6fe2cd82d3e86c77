#include "DrawField.h"

#include "three_bodycalc.h"

#include <QBrush>
#include <QColor>
#include <QPainter>
#include <QPalette>
#include <QPen>
#include <QPoint>
#include <QRect>

#include <climits>

namespace {

constexpr double kOrigin = 400.0;
constexpr int kZoomStep = 10;
// Below this the picture would collapse onto one pixel and then mirror.
constexpr int kSmallestScale = 10;

const QColor kBodyColours[3] = {QColor(250, 50, 50), QColor(50, 250, 50), QColor(50, 50, 250)};

}  // namespace

CDrawField::CDrawField(QWidget *parent) : QWidget(parent)
{
    setPalette(QPalette(QColor(250, 250, 200)));
    setAutoFillBackground(true);
    // What a screen reader says of a picture it cannot read.
    setAccessibleName(tr("Trajectory plot"));
    describe(0);
}

void CDrawField::describe(int samples)
{
    const QString drawn = samples == 1 ? tr("1 sample of each body is drawn.")
                                       : tr("%1 samples of each body are drawn.").arg(samples);
    setAccessibleDescription(
        tr("Sampled positions of the bodies: the star in red, planet 1 in green, planet 2 in blue.") + u' ' + drawn);
}

void CDrawField::drawSpot(DATA_LIST *first, int number)
{
    hasData = true;
    spots = first;
    spotCount = number;
    describe(number);
    repaint();
}

int CDrawField::toPixel(int scale, double coordinate)
{
    const double v = double(scale) * coordinate + kOrigin;
    // Written so that NaN fails the test too; converting it would be undefined.
    if (v > double(INT_MIN) - 1.0 && v < double(INT_MAX) + 1.0)
        return static_cast<int>(v);
    return INT_MIN;
}

void CDrawField::zoomIn()
{
    scale += kZoomStep;
    repaint();
}

void CDrawField::zoomOut()
{
    if (scale - kZoomStep >= kSmallestScale)
        scale -= kZoomStep;
    repaint();
}

void CDrawField::paintEvent(QPaintEvent *)
{
    if (!hasData)
        return;

    QPainter painter(this);
    // A dot off the widget is invisible anyway; skipping it keeps huge or
    // unrepresentable coordinates away from the paint engine.
    const QRect visible = rect().adjusted(-4, -4, 4, 4);
    for (int s = 0; s < spotCount; ++s) {
        for (int b = 0; b < 3; ++b) {
            painter.setPen(QPen(QBrush(kBodyColours[b], Qt::SolidPattern), 4.0, Qt::SolidLine,
                                Qt::SquareCap, Qt::BevelJoin));
            const int px = toPixel(scale, spots[s].x[b]);
            const int py = toPixel(scale, spots[s].y[b]);
            const QPoint point(px, py);
            if (!visible.contains(point))
                continue;
            painter.drawPoints(&point, 1);
        }
    }
}
