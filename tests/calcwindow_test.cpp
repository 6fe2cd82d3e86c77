// The main window's arrangement: the plot at its left with room for the
// whole picture, the form beside it (the end-to-end test finds it by its
// title and measures the plot on screen); and the toolkit's messages while
// it starts. An empty status bar runs along the bottom.
#include "CalcParPanel.h"
#include "CalcWindow.h"
#include "DrawField.h"
#include "StartupMessages.h"

#include <atomic>
#include <thread>
#include <vector>

#include <QStatusBar>
#include <QtTest>

class CalcWindowTest : public QObject {
    Q_OBJECT

private slots:
    void arrangement()
    {
        CalcWindow window;
        // What the program asks for; a window manager may place it elsewhere.
        QCOMPARE(window.geometry(), QRect(QPoint(100, 100), QPoint(1099, 899)));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // The plot's origin, pixel (400, 400), lies a layout margin in from
        // the window's corner, and the plot holds 400 pixels each way of it.
        const QRect plot(window.drawField->mapTo(&window, QPoint(0, 0)), window.drawField->size());
        QVERIFY2(plot.left() >= 0 && plot.left() <= 20 && plot.top() >= 0 && plot.top() <= 20,
                 qPrintable(QString("plot at %1, %2").arg(plot.left()).arg(plot.top())));
        QVERIFY(plot.width() >= 800 && plot.height() >= 800);
        const QRect form(window.parPanel->mapTo(&window, QPoint(0, 0)), window.parPanel->size());
        QVERIFY(form.left() > plot.right());
        QVERIFY(window.rect().contains(plot) && window.rect().contains(form));
        const QStatusBar *bar = window.findChild<QStatusBar *>();
        QVERIFY(bar && bar->isVisible() && bar->currentMessage().isEmpty());
    }

    // Only a fatal message means no display; a critical one is held like any
    // other and passed on with its type, and later messages flow at once.
    // Other threads may log meanwhile, before and during the release: none is lost.
    void startUpMessagesKeepTheirType()
    {
        using Seen = QList<QPair<QtMsgType, QString>>;
        static Seen seen;
        static QMutex seenLock;
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
                QMutexLocker lock(&seenLock);
                seen.append({type, text});
            });
        holdStartupMessages("calcwindow_test");
        std::atomic<bool> released{false};
        std::atomic<qsizetype> sent{0};
        std::vector<std::thread> others;
        for (int t = 0; t < 3; ++t)
            others.emplace_back([&] {
                for (int i = 0; i < 2000 || !released; ++i, ++sent)
                    qDebug("from another thread");
            });
        qCritical("held critical");
        qWarning("held warning");
        qInfo("held info");  // the enum's last value, past fatal: no reason to end
        seenLock.lock();
        const Seen whileHeld = seen;
        seenLock.unlock();
        releaseStartupMessages();
        released = true;
        qWarning("later");
        for (std::thread &t : others)
            t.join();
        qInstallMessageHandler(previous);
        QCOMPARE(whileHeld, Seen());
        Seen ours;
        qsizetype fromOthers = 0;
        for (const auto &m : seen)
            m.second == "from another thread" ? void(++fromOthers) : ours.append(m);
        QCOMPARE(ours, (Seen{{QtCriticalMsg, "held critical"}, {QtWarningMsg, "held warning"},
                             {QtInfoMsg, "held info"}, {QtWarningMsg, "later"}}));
        QCOMPARE(fromOthers, sent.load());
    }
};

QTEST_MAIN(CalcWindowTest)
#include "calcwindow_test.moc"
