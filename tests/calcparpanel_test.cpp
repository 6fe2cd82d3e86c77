// The form: start-up contents, scheme choice, runs from typed inputs,
// unparsable text, and the view drawing each run's own samples.
#include "engine_state.h"
#include "panel_fixture.h"
#include "view_probe.h"

#include <memory>

using E = CCalcEngine;
using namespace viewprobe;

class CalcParPanelTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        form = std::make_unique<PanelFixture>();
        form->startUp();
    }
    void cleanup() { form.reset(); }

    // The fields' start-up texts are the end-to-end test's (read as a screen reader reads them).
    void startupContents()
    {
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
        QTest::newRow("0: Runge Kutta2") << 0 << int(threebody::Scheme::Midpoint);
        QTest::newRow("1: Euler") << 1 << int(threebody::Scheme::Euler);
        QTest::newRow("2: Runge Kutta4") << 2 << int(threebody::Scheme::RungeKutta4);
        // What a combo box reports with no current item: any other index is the fourth order.
        QTest::newRow("-1: none") << -1 << int(threebody::Scheme::RungeKutta4);
    }
    void schemeChoice()
    {
        QFETCH(int, index);
        QFETCH(int, scheme);
        // The first is shown from the start, so its row runs what start-up chose.
        form->solver()->setCurrentIndex(index);
        // "update" runs that scheme from the typed inputs, and no other, and
        // the choice holds for the next run; the results replace what a user typed there.
        form->typeInputs(" 30003", "3", "2");
        for (int run = 0; run < 2; ++run) {
            form->edit("starEdit")->setText("typed by the user");
            form->click("updateButton");
            QCOMPARE(E::count, 4);
            QVERIFY(form->resultsShowEngine());
            const Outcome fromPanel = Outcome::ofEngine();
            for (threebody::Scheme other : threebody::kSchemes) {
                const std::string difference = runEngine(other, 30003, 3, 2).differenceTo(fromPanel);
                QVERIFY2(difference.empty() == (int(other) == scheme), schemeName(other));
            }
        }
    }

    // Text that does not parse reads as 0, and so does text that overflows
    // (Qt 6 reads a double past the largest as infinity and flags a failure).
    // Runs without passes take no samples: "nan" everywhere, nothing drawn.
    void unparsableTextReadsAsZero_data()
    {
        QTest::addColumn<QString>("nstep");
        QTest::addColumn<QString>("xp3");
        QTest::addColumn<QString>("factor");
        QTest::addColumn<double>("readXp3");
        QTest::addColumn<double>("readFactor");
        for (const char *nstep : {"1e6", "abc", "", "1,000", "0x10", "2147483648"})
            QTest::newRow(*nstep ? nstep : "empty") << nstep << "2" << "1" << 2.0 << 1.0;
        QTest::newRow("factor letters") << "1" << "2" << "heavy" << 2.0 << 0.0;
        QTest::newRow("factor 1e309") << "1" << "2" << "1e309" << 2.0 << 0.0;
        QTest::newRow("factor -1e309") << "1" << "2" << "-1e309" << 2.0 << 0.0;
        QTest::newRow("xp3 1e309") << "1" << "1e309" << "1" << 0.0 << 1.0;
        QTest::newRow("xp3 -1e309") << "1" << "-1e309" << "1" << 0.0 << 1.0;
        QTest::newRow("largest double still reads") << "1" << "1.7976931348623157e308" << "1" << 1.7976931348623157e308 << 1.0;
    }
    void unparsableTextReadsAsZero()
    {
        QFETCH(QString, nstep);
        QFETCH(QString, xp3);
        QFETCH(QString, factor);
        QFETCH(double, readXp3);
        QFETCH(double, readFactor);
        form->typeInputs(nstep, xp3, factor);
        form->click("updateButton");
        const int readNstep = nstep == "1" ? 1 : 0;
        QCOMPARE(E::nstep, readNstep);
        QCOMPARE(E::factor, readFactor);
        // No passes: the state is the set-up, where an infinite xp3 shows.
        const Outcome fromPanel = Outcome::ofEngine();
        QCOMPARE(runEngine(threebody::Scheme::Midpoint, readNstep, readXp3, readFactor).differenceTo(fromPanel),
                 std::string());
        for (const char *name : {"starEdit", "planet1Edit", "planet2Edit", "totalEdit"})
            QCOMPARE(form->edit(name)->text(), QString("nan"));
        QCOMPARE(countNotBackground(render(*form->view)), 0);
    }

    // What surprises a user, kept by design and said so in the README: each
    // row does something and states what the form and the engine show after it.
    void keptByDesign_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("runs");      // whether a run was made
        QTest::addColumn<int>("samples");    // then: how many it took
        QTest::newRow("choosing a scheme runs nothing") << "choose" << false << 0;
        QTest::newRow("Enter in a field runs nothing") << "enter" << false << 0;
        QTest::newRow("Nstep 10001: one sample, every variance 0") << "one sample" << true << 1;
        QTest::newRow("update with the start-up texts: xp3 1.99848, not 2") << "update" << true << 100;
        QTest::newRow("a click made during a run takes effect when it ends") << "click during" << true << 100;
    }
    void keptByDesign()
    {
        QFETCH(QString, action);
        QFETCH(bool, runs);
        QFETCH(int, samples);
        const Outcome startUp = Outcome::ofEngine();
        const QImage startUpPicture = render(*form->view);
        QImage afterRun;
        if (action == "choose") {
            form->solver()->setCurrentIndex(1);
            form->solver()->setCurrentIndex(2);
        } else if (action == "enter") {
            for (const char *name : {"nstepEdit", "xp3Edit", "factorEdit"})
                QTest::keyClick(form->edit(name), Qt::Key_Return);
        } else if (action == "one sample") {
            form->typeInto("nstepEdit", "10001");
            form->click("updateButton");
            for (const char *name : {"starEdit", "planet1Edit", "planet2Edit", "totalEdit"})
                QCOMPARE(form->edit(name)->text(), QString("0"));
        } else if (action == "update") {
            QCOMPARE(form->edit("xp3Edit")->text(), QString("1.99848"));
            form->click("updateButton");
            QCOMPARE(runEngine(threebody::Scheme::Midpoint, 1000000, 1.99848, 1).differenceTo(Outcome::ofEngine()),
                     std::string());
        } else if (action == "click during") {
            // Posted before the run's click, as the event loop holds a click
            // made while the run goes on: it waits until the run has ended.
            form->typeInto("xp3Edit", "2");  // the start-up run again
            QPushButton *zoomIn = form->panel->findChild<QPushButton *>("zoomInButton");
            const QPoint centre = zoomIn->rect().center();
            for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                QCoreApplication::postEvent(zoomIn, new QMouseEvent(type, centre, zoomIn->mapToGlobal(centre),
                                                                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
            form->click("updateButton");
            afterRun = render(*form->view);
            QCOMPARE(afterRun, startUpPicture);  // the same run, not yet zoomed
            QCoreApplication::processEvents();
            QVERIFY(render(*form->view) != afterRun);
        }
        const Outcome now = Outcome::ofEngine();
        QCOMPARE(now.differenceTo(startUp).empty(), !runs || action == "click during");
        QCOMPARE(now.state.count, runs ? samples : startUp.state.count);
        if (!runs)
            QCOMPARE(render(*form->view), startUpPicture);
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
        QCOMPARE(at(image, CDrawField::toPixel(150, stale.x[2]), CDrawField::toPixel(150, stale.y[2])),
                 kBackground);  // ... but not drawn
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

private:
    std::unique_ptr<PanelFixture> form;
};

QTEST_MAIN(CalcParPanelTest)
#include "calcparpanel_test.moc"
