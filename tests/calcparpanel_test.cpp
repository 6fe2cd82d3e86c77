// The form: start-up contents, scheme choice, runs from typed inputs,
// unparsable text, and the view drawing each run's own samples.
#include "engine_snapshot.h"
#include "panel_fixture.h"
#include "view_probe.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <limits>
#include <memory>

using E = CCalcEngine;
using namespace viewprobe;

namespace {

// The end state of a run made directly on the engine.
EngineSnapshot directRun(CCalcEngine &engine, double xp3, double factor, int nstep)
{
    E::setParam(xp3, factor);
    E::nstep = nstep;
    engine.Calculation();
    return EngineSnapshot::take();
}

}  // namespace

class CalcParPanelTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        fixture = std::make_unique<PanelFixture>();
        view = fixture->view;
        panel = fixture->panel;
        euler = &fixture->engines.euler;
        rk2 = &fixture->engines.rk2;
        rk4 = &fixture->engines.rk4;
        fixture->startUp();
    }
    void cleanup() { fixture.reset(); }

    void startupContents()
    {
        QCOMPARE(edit("nstepEdit")->text(), QString("1000000"));
        QCOMPARE(edit("xp3Edit")->text(), QString("1.99848"));
        QCOMPARE(edit("factorEdit")->text(), QString("1"));
        // The start-up run's results, as a user reads them.
        QCOMPARE(edit("starEdit")->text(), QString("2.60849e-13"));
        QCOMPARE(edit("planet1Edit")->text(), QString("2.89159e-07"));
        QCOMPARE(edit("planet2Edit")->text(), QString("1.67341e-08"));
        QCOMPARE(edit("totalEdit")->text(), QString("3.2976e-07"));
        checkResultsShowEngine();
        auto *combo = panel->findChild<QComboBox *>("solverCombo");
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->itemText(0), QString("Runge Kutta2"));
        QCOMPARE(combo->itemText(1), QString("Euler"));
        QCOMPARE(combo->itemText(2), QString("Runge Kutta4"));
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(panel->currentEngine, static_cast<CCalcEngine *>(rk2));
    }

    void schemeChoice_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("expected");
        QTest::newRow("0 midpoint") << 0 << "rk2";
        QTest::newRow("1 Euler") << 1 << "euler";
        QTest::newRow("2 fourth order") << 2 << "rk4";
        QTest::newRow("-1 fourth order") << -1 << "rk4";
        QTest::newRow("7 fourth order") << 7 << "rk4";
    }
    void schemeChoice()
    {
        QFETCH(int, index);
        QFETCH(QString, expected);
        auto *combo = panel->findChild<QComboBox *>("solverCombo");
        if (index >= 0 && index < combo->count()) {
            combo->setCurrentIndex((index + 1) % 3);  // make sure the signal fires
            combo->setCurrentIndex(index);
        } else {
            QVERIFY(QMetaObject::invokeMethod(panel, "changeSolver", Q_ARG(int, index)));
        }
        CCalcEngine *want = expected == "rk2" ? static_cast<CCalcEngine *>(rk2)
                            : expected == "euler" ? static_cast<CCalcEngine *>(euler)
                                                  : static_cast<CCalcEngine *>(rk4);
        QCOMPARE(panel->currentEngine, want);

        // "update" runs that scheme, and the choice holds for the next run.
        typeInputs("20002", "2.5", "0.5");
        for (int run = 0; run < 2; ++run) {
            clickUpdate();
            CThreeBodyEuler e;  // only its update step matters
            CCalcEngine &reference = expected == "rk2" ? static_cast<CCalcEngine &>(*rk2)
                                     : expected == "euler" ? static_cast<CCalcEngine &>(*euler)
                                                           : static_cast<CCalcEngine &>(*rk4);
            const EngineSnapshot fromPanel = EngineSnapshot::take();
            QVERIFY(fromPanel.bodiesEqual(directRun(reference, 2.5, 0.5, 20002)));
            if (expected != "euler")
                QVERIFY(!fromPanel.bodiesEqual(directRun(e, 2.5, 0.5, 20002)));
        }
    }

    void updateRunsWithTheTypedInputs()
    {
        typeInputs(" 30003", "3", "2");
        clickUpdate();
        QCOMPARE(E::nstep, 30003);
        QCOMPARE(E::factor, 2.0);
        QCOMPARE(E::count, 4);
        QCOMPARE(E::mp[1], 2 * 0.00095479);
        const EngineSnapshot fromPanel = EngineSnapshot::take();
        CThreeBodyRK2 reference;
        QVERIFY(fromPanel.bodiesEqual(directRun(reference, 3, 2, 30003)));
        checkResultsShowEngine();
        // The inputs keep exactly what was typed.
        QCOMPARE(edit("nstepEdit")->text(), QString(" 30003"));
        QCOMPARE(edit("xp3Edit")->text(), QString("3"));
    }

    void unparsableRunLengthTakesNoSamples_data()
    {
        QTest::addColumn<QString>("nstep");
        QTest::newRow("exponent") << "1e6";
        QTest::newRow("letters") << "abc";
        QTest::newRow("empty") << "";
        QTest::newRow("separators") << "1,000";
        QTest::newRow("beyond 32 bits") << "2147483648";
    }
    void unparsableRunLengthTakesNoSamples()
    {
        QFETCH(QString, nstep);
        typeInputs(nstep, "2", "1");
        clickUpdate();
        QCOMPARE(E::nstep, 0);
        QCOMPARE(E::count, 0);
        for (const char *name : {"starEdit", "planet1Edit", "planet2Edit", "totalEdit"})
            QCOMPARE(edit(name)->text(), QString("nan"));
        QCOMPARE(countNotBackground(render(*view)), 0);
        QCOMPARE(edit("nstepEdit")->text(), nstep);
    }

    // Text that does not parse reads as 0, and so does text that overflows
    // a double (which Qt 6 reads as infinity and flags as a failure).
    void unparsableOrOverflowingNumbersReadAsZero_data()
    {
        QTest::addColumn<QString>("xp3");
        QTest::addColumn<QString>("factor");
        QTest::addColumn<double>("readXp3");
        QTest::addColumn<double>("readFactor");
        QTest::newRow("factor letters") << "2" << "heavy" << 2.0 << 0.0;
        QTest::newRow("factor 1e309") << "2" << "1e309" << 2.0 << 0.0;
        QTest::newRow("factor -1e309") << "2" << "-1e309" << 2.0 << 0.0;
        QTest::newRow("xp3 1e309") << "1e309" << "1" << 0.0 << 1.0;
        QTest::newRow("xp3 -1e309") << "-1e309" << "1" << 0.0 << 1.0;
        QTest::newRow("largest double still reads") << "1.7976931348623157e308" << "1" << 1.7976931348623157e308 << 1.0;
    }
    void unparsableOrOverflowingNumbersReadAsZero()
    {
        QFETCH(QString, xp3);
        QFETCH(QString, factor);
        QFETCH(double, readXp3);
        QFETCH(double, readFactor);
        // No passes: the state is the set-up, where an infinite xp3 shows.
        typeInputs("1", xp3, factor);
        clickUpdate();
        QCOMPARE(E::factor, readFactor);
        const EngineSnapshot fromPanel = EngineSnapshot::take();
        QVERIFY(fromPanel.bodiesEqual(directRun(*rk2, readXp3, readFactor, 1)));
    }

    void resultsAreOverwrittenByTheNextRun()
    {
        edit("starEdit")->setText("typed by the user");
        typeInputs("20002", "2", "1");
        clickUpdate();
        checkResultsShowEngine();
    }

    void viewDrawsOnlyThisRunsSamples()
    {
        // The start-up run left 100 samples; planet 2 circled at distance 2.
        QCOMPARE(E::count, 100);
        const DATA_LIST stale = E::data_list[99];
        typeInputs("300000", "3", "1");  // 30 samples, planet 2 at distance 3
        clickUpdate();
        QCOMPARE(E::count, 30);
        QCOMPARE(E::data_list[99].x[2], stale.x[2]);  // still in the store ...
        const QImage image = render(*view);
        const int px = CDrawField::toPixel(150, stale.x[2]);
        const int py = CDrawField::toPixel(150, stale.y[2]);
        QCOMPARE(at(image, px, py), kBackground);  // ... but not drawn
        const DATA_LIST &fresh = E::data_list[29];
        QCOMPARE(at(image, CDrawField::toPixel(150, fresh.x[1]), CDrawField::toPixel(150, fresh.y[1])),
                 kBodyColours[1]);

        // A longer run is drawn whole.
        typeInputs("2000000", "2", "1");
        clickUpdate();
        QCOMPARE(E::count, 200);
        const DATA_LIST &late = E::data_list[150];
        QCOMPARE(render(*view).pixelColor(CDrawField::toPixel(150, late.x[1]), CDrawField::toPixel(150, late.y[1])),
                 kBodyColours[1]);
    }

    void startupPictureEndsWithTheLastSample()
    {
        // The last sample is drawn last, so its planet 2 lies on top.
        const DATA_LIST &last = E::data_list[E::count - 1];
        QVERIFY(hasDot(render(*view), CDrawField::toPixel(150, last.x[2]), CDrawField::toPixel(150, last.y[2]),
                       kBodyColours[2]));
    }

    void zoomButtonsDriveTheView()
    {
        const DATA_LIST &first = E::data_list[0];
        auto *in = panel->findChild<QPushButton *>("zoomInButton");
        QTest::mouseClick(in, Qt::LeftButton);
        const QImage image = render(*view);
        QCOMPARE(image.pixelColor(CDrawField::toPixel(160, first.x[2]), CDrawField::toPixel(160, first.y[2])),
                 kBodyColours[2]);
    }

    void eachZoomButtonZoomsItsOwnWay()
    {
        // One planet 1 dot at (1, 0): pixel 400 + scale.
        DATA_LIST one{};
        one.x[0] = one.y[0] = one.x[2] = one.y[2] = std::numeric_limits<double>::quiet_NaN();
        one.x[1] = 1;
        view->drawSpot(&one, 1);
        auto *in = panel->findChild<QPushButton *>("zoomInButton");
        auto *out = panel->findChild<QPushButton *>("zoomOutButton");
        QTest::mouseClick(in, Qt::LeftButton);
        QVERIFY(hasDot(render(*view), 560, 400, kBodyColours[1]));
        QTest::mouseClick(out, Qt::LeftButton);
        QTest::mouseClick(out, Qt::LeftButton);
        QVERIFY(hasDot(render(*view), 540, 400, kBodyColours[1]));
    }

private:
    QLineEdit *edit(const char *name) { return panel->findChild<QLineEdit *>(name); }

    void typeInputs(const QString &nstep, const QString &xp3, const QString &factor)
    {
        for (auto [name, text] : {std::pair{"nstepEdit", nstep}, {"xp3Edit", xp3}, {"factorEdit", factor}}) {
            edit(name)->clear();
            QTest::keyClicks(edit(name), text);
        }
    }

    void clickUpdate() { QTest::mouseClick(panel->findChild<QPushButton *>("updateButton"), Qt::LeftButton); }

    void checkResultsShowEngine()
    {
        const char *names[4] = {"starEdit", "planet1Edit", "planet2Edit", "totalEdit"};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(edit(names[i])->text(), shownResult(E::am_list[i]));
    }

    std::unique_ptr<PanelFixture> fixture;
    CDrawField *view = nullptr;
    CCalcParPanel *panel = nullptr;
    CThreeBodyEuler *euler = nullptr;
    CThreeBodyRK2 *rk2 = nullptr;
    CThreeBodyRK4 *rk4 = nullptr;
};

QTEST_MAIN(CalcParPanelTest)
#include "calcparpanel_test.moc"
