// The trajectory view: background, dot placement, colours, order and zoom.
#include "DrawField.h"
#include "three_bodycalc.h"
#include "view_probe.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace viewprobe;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A sample with one body at (x, y), the others off screen (NaN never makes a dot).
DATA_LIST onlyBodyAt(int body, double x, double y)
{
    DATA_LIST d{};
    for (int b = 0; b < 3; ++b)
        d.x[b] = d.y[b] = kNaN;
    d.x[body] = x;
    d.y[body] = y;
    return d;
}

}  // namespace

class DrawFieldTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        view = new CDrawField();
        view->resize(800, 800);
    }
    void cleanup() { delete view; }

    // A screen reader's only account of the picture: how many dots it has
    // (the end-to-end test reads the rest of it over the accessibility bus).
    void descriptionCountsTheSamplesDrawn()
    {
        QVERIFY(view->accessibleDescription().endsWith(QLatin1String("0 samples of each body are drawn.")));
        view->drawSpot(samples, 1);
        QVERIFY(view->accessibleDescription().endsWith(QLatin1String("1 sample of each body is drawn.")));
        view->drawSpot(samples, 30);
        QVERIFY(view->accessibleDescription().endsWith(QLatin1String("30 samples of each body are drawn.")));
    }

    void dotPlacement_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("y");
        QTest::addColumn<int>("px");
        QTest::addColumn<int>("py");
        QTest::newRow("unit x") << 1.0 << 0.0 << 550 << 400;
        QTest::newRow("unit y is drawn below") << 0.0 << 1.0 << 400 << 550;
        QTest::newRow("400.6 truncates") << 0.004 << 0.0 << 400 << 400;
        QTest::newRow("399.4 truncates") << -0.004 << 0.0 << 399 << 400;
        QTest::newRow("-0.5 truncates toward zero") << -2.67 << 0.0 << 0 << 400;
        QTest::newRow("negative quadrant") << -1.0 << -1.0 << 250 << 250;
        // Squares that straddle an edge show their inner part.
        QTest::newRow("left edge") << -401.0 / 150 << 0.0 << -1 << 400;
        QTest::newRow("right edge") << 400.0 / 150 << 0.0 << 800 << 400;
        QTest::newRow("top edge") << 0.0 << -401.0 / 150 << 400 << -1;
        QTest::newRow("bottom edge") << 0.0 << 400.0 / 150 << 400 << 800;
    }
    void dotPlacement()
    {
        QFETCH(double, x);
        QFETCH(double, y);
        QFETCH(int, px);
        QFETCH(int, py);
        for (int body = 0; body < 3; ++body) {
            samples[0] = onlyBodyAt(body, x, y);
            view->drawSpot(samples, 1);
            const QImage image = render(*view);
            QCOMPARE(CDrawField::toPixel(150, x), px);
            QCOMPARE(CDrawField::toPixel(150, y), py);
            if (px >= 2 && px < 799 && py >= 2 && py < 799)
                QVERIFY2(hasDot(image, px, py, kBodyColours[body]), qPrintable(QString::number(body)));
            else  // clipped at an edge: the visible part of the square
                QCOMPARE(at(image, std::clamp(px, 0, 799), std::clamp(py, 0, 799)), kBodyColours[body]);
        }
    }

    void drawingOrder()
    {
        // Within a sample planet 2 covers planet 1 covers the star.
        samples[0] = DATA_LIST{};
        view->drawSpot(samples, 1);
        QVERIFY(hasDot(render(*view), 400, 400, kBodyColours[2]));

        // A later sample covers an earlier one.
        samples[0] = onlyBodyAt(2, 1, 0);
        samples[1] = onlyBodyAt(0, 1, 0);
        view->drawSpot(samples, 2);
        QVERIFY(hasDot(render(*view), 550, 400, kBodyColours[0]));
    }

    void readsTheArrayAgainOnEveryPaint()
    {
        samples[0] = onlyBodyAt(1, 1, 0);
        view->drawSpot(samples, 1);
        samples[0].x[1] = -1;  // rewritten in place, as a run does
        const QImage image = render(*view);
        QVERIFY(hasDot(image, 250, 400, kBodyColours[1]));
        QCOMPARE(at(image, 550, 400), kBackground);
    }

    // Each zoom shows on screen at once, before the event loop runs again, by
    // 10 pixels a unit, down to 10: never one pixel for everything, never mirrored.
    void zoomShowsOnScreen()
    {
        samples[0] = onlyBodyAt(1, 1, 0);
        view->drawSpot(samples, 1);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view));
        // Planet 1 at x = 1 after each row's clicks: 150, 160 and 140 pixels a unit, the floor, one up.
        const struct { int ins, outs, px; } rows[] = {{0, 0, 550}, {1, 0, 560}, {0, 2, 540}, {0, 30, 410}, {1, 0, 420}};
        for (auto [ins, outs, px] : rows) {
            for (int i = 0; i < ins; ++i)
                view->zoomIn();
            for (int i = 0; i < outs; ++i)
                view->zoomOut();
            QVERIFY2(hasDot(onScreen(*view), px, 400, kBodyColours[1]), qPrintable(QString::number(px)));
        }
    }

    // Nothing is drawn without data, nor where a coordinate has no pixel:
    // NaN, infinities, and values just past the 32-bit pixel range at every
    // zoom (converting those would be undefined, which UBSan would report).
    void unrepresentableCoordinatesDrawNothing()
    {
        QCOMPARE(countNotBackground(render(*view)), 0);
        const double inf = std::numeric_limits<double>::infinity();
        int scale = 150;
        auto fill = [&] {
            const double pastMax = (2147483648.0 - 400) / scale * (1 + 1e-15);
            const double pastMin = (-2147483649.0 - 400) / scale * (1 + 1e-15);
            int n = 0;
            for (double x : {kNaN, -kNaN, inf, -inf, 1e300, -1e300, pastMax, pastMin,
                             std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest()})
                for (double y : {0.0, x, -x}) {
                    std::fill(samples[n].x, samples[n].x + 3, x);
                    std::fill(samples[n].y, samples[n].y + 3, y);
                    ++n;
                }
            return n;
        };
        view->drawSpot(samples, fill());
        for (int zoom = 0; zoom < 100; ++zoom) {
            fill();
            QCOMPARE(countNotBackground(render(*view)), 0);
            zoom < 40 ? view->zoomIn() : view->zoomOut();
            scale = zoom < 40 ? scale + 10 : std::max(10, scale - 10);
        }
    }

private:
    CDrawField *view = nullptr;
    DATA_LIST samples[32];  // the hostile set fills 30
};

QTEST_MAIN(DrawFieldTest)
#include "drawfield_test.moc"
