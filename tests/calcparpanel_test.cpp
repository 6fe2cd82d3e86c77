// The form: start-up contents, scheme choice, runs from typed inputs,
// unparsable text, the zoom buttons, and the view drawing each run's own
// samples.
#include "engine_state.h"
#include "panel_fixture.h"
#include "view_probe.h"

#include <limits>
#include <memory>

using E = CCalcEngine;
using namespace viewprobe;

namespace {

// The end state of a run made on the engine itself.
Outcome directRun(threebody::Scheme scheme, double xp3, double factor, int nstep)
{
    runEngine(scheme, nstep, xp3, factor);
    return Outcome::ofEngine();
}

}  // namespace

class CalcParPanelTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        form = std::make_unique<PanelFixture>();
        form->startUp();
    }
    void cleanup() { form.reset(); }

    void startupContents()
    {
        QCOMPARE(form->edit("nstepEdit")->text(), QString("1000000"));
        QCOMPARE(form->edit("xp3Edit")->text(), QString("1.99848"));
        QCOMPARE(form->edit("factorEdit")->text(), QString("1"));
        QCOMPARE(E::count, 100);
        QVERIFY(form->resultsShowEngine());
        QComboBox *combo = form->solver();
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->itemText(0), QString("Runge Kutta2"));
        QCOMPARE(combo->itemText(1), QString("Euler"));
        QCOMPARE(combo->itemText(2), QString("Runge Kutta4"));
        QCOMPARE(combo->currentIndex(), 0);
    }

    void schemeChoice_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("scheme");
        QTest::newRow("0 midpoint") << 0 << int(threebody::Scheme::Midpoint);
        QTest::newRow("1 Euler") << 1 << int(threebody::Scheme::Euler);
        QTest::newRow("2 fourth order") << 2 << int(threebody::Scheme::RungeKutta4);
    }
    void schemeChoice()
    {
        QFETCH(int, index);
        QFETCH(int, scheme);
        form->solver()->setCurrentIndex((index + 1) % 3);  // make sure the signal fires
        form->solver()->setCurrentIndex(index);
        // "update" runs that scheme, and no other, and the choice holds for the next run.
        form->typeInputs("20002", "2.5", "0.5");
        for (int run = 0; run < 2; ++run) {
            form->click("updateButton");
            const Outcome fromPanel = Outcome::ofEngine();
            for (threebody::Scheme other : threebody::kSchemes) {
                const std::string difference = directRun(other, 2.5, 0.5, 20002).differenceTo(fromPanel);
                QVERIFY2(difference.empty() == (int(other) == scheme), schemeName(other));
            }
        }
    }

    void updateRunsWithTheTypedInputs()
    {
        form->typeInputs(" 30003", "3", "2");
        form->click("updateButton");
        QCOMPARE(E::nstep, 30003);
        QCOMPARE(E::factor, 2.0);
        QCOMPARE(E::count, 4);
        const Outcome fromPanel = Outcome::ofEngine();
        QCOMPARE(directRun(threebody::Scheme::Midpoint, 3, 2, 30003).differenceTo(fromPanel), std::string());
        QVERIFY(form->resultsShowEngine());
        // The inputs keep exactly what was typed.
        QCOMPARE(form->edit("nstepEdit")->text(), QString(" 30003"));
        QCOMPARE(form->edit("xp3Edit")->text(), QString("3"));
    }

    void unparsableRunLengthTakesNoSamples_data()
    {
        QTest::addColumn<QString>("nstep");
        QTest::newRow("exponent") << "1e6";
        QTest::newRow("letters") << "abc";
        QTest::newRow("empty") << "";
        QTest::newRow("separators") << "1,000";
        QTest::newRow("hexadecimal") << "0x10";
        QTest::newRow("beyond 32 bits") << "2147483648";
    }
    void unparsableRunLengthTakesNoSamples()
    {
        QFETCH(QString, nstep);
        form->typeInputs(nstep, "2", "1");
        form->click("updateButton");
        QCOMPARE(E::nstep, 0);
        QCOMPARE(E::count, 0);
        for (const char *name : {"starEdit", "planet1Edit", "planet2Edit", "totalEdit"})
            QCOMPARE(form->edit(name)->text(), QString("nan"));
        QCOMPARE(countNotBackground(render(*form->view)), 0);
        QCOMPARE(form->edit("nstepEdit")->text(), nstep);
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
        form->typeInputs("1", xp3, factor);
        form->click("updateButton");
        QCOMPARE(E::factor, readFactor);
        const Outcome fromPanel = Outcome::ofEngine();
        QCOMPARE(directRun(threebody::Scheme::Midpoint, readXp3, readFactor, 1).differenceTo(fromPanel), std::string());
    }

    void resultsAreOverwrittenByTheNextRun()
    {
        form->edit("starEdit")->setText("typed by the user");
        form->typeInputs("20002", "2", "1");
        form->click("updateButton");
        QVERIFY(form->resultsShowEngine());
    }

    void viewDrawsOnlyThisRunsSamples()
    {
        // The start-up picture ends with its last sample: planet 2 on top.
        QCOMPARE(E::count, 100);
        const DATA_LIST stale = E::data_list[99];
        QVERIFY(hasDot(render(*form->view), CDrawField::toPixel(150, stale.x[2]), CDrawField::toPixel(150, stale.y[2]),
                       kBodyColours[2]));
        form->typeInputs("300000", "3", "1");  // 30 samples, planet 2 at distance 3
        form->click("updateButton");
        QCOMPARE(E::count, 30);
        QCOMPARE(E::data_list[99].x[2], stale.x[2]);  // still in the store ...
        const QImage image = render(*form->view);
        const int px = CDrawField::toPixel(150, stale.x[2]);
        const int py = CDrawField::toPixel(150, stale.y[2]);
        QCOMPARE(at(image, px, py), kBackground);  // ... but not drawn
        const DATA_LIST &fresh = E::data_list[29];
        QCOMPARE(at(image, CDrawField::toPixel(150, fresh.x[1]), CDrawField::toPixel(150, fresh.y[1])),
                 kBodyColours[1]);

        // A longer run is drawn whole.
        form->typeInputs("2000000", "2", "1");
        form->click("updateButton");
        QCOMPARE(E::count, 200);
        const DATA_LIST &late = E::data_list[150];
        QCOMPARE(at(render(*form->view), CDrawField::toPixel(150, late.x[1]), CDrawField::toPixel(150, late.y[1])),
                 kBodyColours[1]);
    }

    void eachZoomButtonZoomsItsOwnWay()
    {
        // One planet 1 dot at (1, 0): pixel 400 + scale.
        DATA_LIST one{};
        one.x[0] = one.y[0] = one.x[2] = one.y[2] = std::numeric_limits<double>::quiet_NaN();
        one.x[1] = 1;
        form->view->drawSpot(&one, 1);
        form->click("zoomInButton");
        QVERIFY(hasDot(render(*form->view), 560, 400, kBodyColours[1]));
        form->click("zoomOutButton");
        form->click("zoomOutButton");
        QVERIFY(hasDot(render(*form->view), 540, 400, kBodyColours[1]));
    }

private:
    std::unique_ptr<PanelFixture> form;
};

QTEST_MAIN(CalcParPanelTest)
#include "calcparpanel_test.moc"
