// Thousands of "update" clicks with hostile and random text in the three
// inputs, every scheme. After each: the results show exactly what the engine
// computed, and the inputs hold what was typed. Run lengths that would take
// longer than a moment are capped here, by the test, not by the program.
#include "panel_fixture.h"

#include <QFile>

#include <memory>
#include <random>

using E = CCalcEngine;

namespace {

constexpr int kLongestRun = 20000;

const QStringList hostileTexts = {
    "", " ", "   ", "nan", "NaN", "inf", "-inf", "+inf", "infinity", "1e308", "-1e308", "1e309",
    "4.9e-324", "-4.9e-324", "2.4e-324", "0x10", "0X1p3", "2,5", "1e6", "+7", "-0", "0", "-1",
    "2147483647", "2147483648", "-2147483648", "-2147483649", "99999999999999999999", "1.99848",
    "2", "0.5", "1", "-2", "3", "1e-300", "12abc", "abc", " 2 ", "\t2", "2\n",
    QString::fromUtf8("\u0662\u0665"),          // Arabic-Indic digits
    QString::fromUtf8("\uff12\uff10\uff10"),    // full-width digits
    QString::fromUtf8("\u0968"),                // Devanagari two
    QString::fromUtf8("1\u00a0000"), QString::fromUtf8("\u2212" "5"), "1e", "e5", ".", "-", "+",
    "1..2", "--1", "0.0000000000000000000000001", "1" + QString(400, '0'), QString(2000, '9'),
    QString(QChar(0)) + "5", QString::fromUtf8("\xf0\x9f\x98\x80"),
};

}  // namespace

class FormFuzzTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        form = std::make_unique<PanelFixture>();
        form->startUp();
        form->panel->show();
        form->view->show();
    }
    void cleanupTestCase() { form.reset(); }

    void thousandsOfHostileClicks()
    {
        std::mt19937 random(7);
        auto pick = [&]() -> QString {
            const int kind = int(random() % 4);
            if (kind < 2)
                return hostileTexts[int(random() % hostileTexts.size())];
            if (kind == 2) {  // random printable and other characters
                QString s;
                const int n = int(random() % 12);
                for (int i = 0; i < n; ++i)
                    s += QChar(char16_t(random() % 3 == 0 ? 0x20 + random() % 0x3000 : 0x20 + random() % 0x5f));
                return s;
            }
            // A plausible number, sometimes out of range.
            std::uniform_real_distribution<double> d(-5, 5);
            return QString::number(d(random), 'g', 1 + int(random() % 17));
        };

        int runsWithSamples = 0;
        for (int n = 0; n < 3000; ++n) {
            form->solver()->setCurrentIndex(int(random() % 3));
            // A third of the runs are real runs of up to the cap.
            QString nstep = random() % 3 == 0 ? QString::number(random() % (kLongestRun + 1)) : pick();
            if (nstep.toInt(nullptr, 10) > kLongestRun)
                nstep = QString::number(int(random() % kLongestRun));
            const QString xp3 = pick();
            const QString factor = pick();
            form->typeInputs(nstep, xp3, factor);
            form->click("updateButton");
            runsWithSamples += E::count > 0;
            // The results show what the engine computed, and the inputs what was typed.
            if (!form->resultsShowEngine() || form->edit("nstepEdit")->text() != nstep ||
                form->edit("xp3Edit")->text() != xp3 || form->edit("factorEdit")->text() != factor)
                QFAIL(qPrintable(QString("click %1: nstep \"%2\" xp3 \"%3\" factor \"%4\"")
                                     .arg(n)
                                     .arg(nstep, xp3, factor)));
        }
        QVERIFY(runsWithSamples > 500);
    }

    void aMegabyteOfText()
    {
        const QString huge = QString("7").repeated(1 << 20);
        for (const char *name : {"nstepEdit", "xp3Edit", "factorEdit"}) {
            form->typeInputs("20002", "2", "1");
            form->edit(name)->setText(huge);  // pasted, not typed key by key
            form->click("updateButton");
            // The field keeps as much as a line edit holds (Qt's 32767).
            QCOMPARE(form->edit(name)->text(), huge.left(form->edit(name)->maxLength()));
            QVERIFY(form->resultsShowEngine());
        }
    }

    void fiveHundredRunsKeepTheResidentMemory()
    {
#if THREEBODY_SANITIZE
        QSKIP("AddressSanitizer holds freed memory in quarantine; the optimised build measures this");
#endif
        // A first run of each scheme, which settles its path and, under
        // qemu-user, translates its code into the same process.
        form->typeInputs("20002", "2", "1");
        for (int scheme = 0; scheme < 3; ++scheme) {
            form->solver()->setCurrentIndex(scheme);
            form->click("updateButton");
            QCoreApplication::processEvents();
        }
        const long afterFirst = residentKiB();
        for (int run = 0; run < 500; ++run) {
            form->solver()->setCurrentIndex(run % 3);
            form->click("updateButton");
            QCoreApplication::processEvents();
        }
        const long afterAll = residentKiB();
        qInfo("resident memory: %ld KiB after a first run of each scheme, %ld KiB after 500 more", afterFirst, afterAll);
        QVERIFY2(afterFirst > 0 && afterAll > 0, "the resident size could not be read");
        QVERIFY(afterAll - afterFirst < 512);
    }

private:
    // VmRSS is given in kB whatever the page size; -1 when it cannot be read.
    static long residentKiB()
    {
        QFile status("/proc/self/status");
        if (!status.open(QIODevice::ReadOnly))
            return -1;
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                return line.mid(6).trimmed().split(' ').value(0).toLong();
        return -1;
    }

    std::unique_ptr<PanelFixture> form;
};

QTEST_MAIN(FormFuzzTest)
#include "form_fuzz_test.moc"
