// The leak check itself under test: a leak in a slot that the event loop
// and a real signal reach, as every slot of the program is reached, must be
// reported with the project's own LeakSanitizer options and suppressions.
// CTest passes it only when the report names this leak.
#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTimer>

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
    // Without the suppressions a pass would prove nothing about them.
    const char *options = std::getenv("LSAN_OPTIONS");
    const char *file = options ? std::strstr(options, "suppressions=") : nullptr;
    if (!file || !QFile::exists(QString::fromLocal8Bit(file + 13).section(u':', 0, 0))) {
        std::fputs("leak_check_test: LSAN_OPTIONS names no suppressions file\n", stderr);
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

#include "leak_check_test.moc"
