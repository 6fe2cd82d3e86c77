// The sanitizers themselves under test. A leak in a slot that the event loop
// and a real signal reach, as every slot of the program is reached, must be
// reported with the project's own LeakSanitizer options and suppressions;
// with the argument "overflow", a signed overflow must stop the program.
// CTest passes each only when the report names it.
#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTimer>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

class Leaker : public QObject {
    Q_OBJECT

public slots:
    void leak()
    {
        lost = new char[4000];
        lost[0] = 1;
        lost = nullptr;
    }

private:
    char *volatile lost = nullptr;
};

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "overflow") == 0) {
        volatile int largest = INT_MAX;
        volatile int past = largest + 1;
        return past;
    }
    // Without the suppressions a pass would prove nothing about them.
    const char *options = std::getenv("LSAN_OPTIONS");
    const char *file = options ? std::strstr(options, "suppressions=") : nullptr;
    if (!file || !QFile::exists(QString::fromLocal8Bit(file + 13).section(u':', 0, 0))) {
        std::fputs("sanitizer_check_test: LSAN_OPTIONS names no suppressions file\n", stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QPushButton button(QStringLiteral("leak"));
    Leaker leaker;
    QObject::connect(&button, SIGNAL(clicked()), &leaker, SLOT(leak()));
    QTimer::singleShot(0, &button, SLOT(click()));
    QTimer::singleShot(0, &app, SLOT(quit()));
    return app.exec();
}

#include "sanitizer_check_test.moc"
