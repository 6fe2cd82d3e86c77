// The main window's arrangement.
#include "CalcParPanel.h"
#include "CalcWindow.h"
#include "DrawField.h"

#include <QStatusBar>
#include <QtTest>

class CalcWindowTest : public QObject {
    Q_OBJECT

private slots:
    void arrangement()
    {
        CalcWindow window;
        // What the window asks for; the layout may then grow it to fit.
        QCOMPARE(window.geometry(), QRect(100, 100, 1000, 800));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QString("3 Body Problem Application"));
        QVERIFY(window.drawField->width() >= 800);
        QVERIFY(window.drawField->height() >= 800);
        QCOMPARE(window.drawField->minimumSize(), QSize(800, 800));
        QVERIFY(window.drawField->geometry().right() < window.parPanel->geometry().left());
        QCOMPARE(window.drawField->parentWidget(), window.centralWidget());
        QCOMPARE(window.parPanel->parentWidget(), window.centralWidget());
        QStatusBar *bar = window.findChild<QStatusBar *>();
        QVERIFY(bar);
        QVERIFY(bar->isVisible());
        QVERIFY(bar->currentMessage().isEmpty());
    }
};

QTEST_MAIN(CalcWindowTest)
#include "calcwindow_test.moc"
