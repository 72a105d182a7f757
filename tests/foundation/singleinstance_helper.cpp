// Runs the single-instance guard the way the client's start-up does and records in a file what
// happened:
//   singleinstance_helper <program folder> <record file> [busy ms] [ask timeout ms] [hang ms]
// busy: a mission that does not yield, once answering; hang: holding the lock, not answering yet.
#include "client/foundation/singleinstance.h"

#include <QCoreApplication>
#include <QFile>
#include <QLockFile>
#include <QThread>
#include <QTimer>

namespace {
QString recordPath;

void record(const QString& line) {
    // Two instances may write at once; appending is not one step on Windows.
    QLockFile lock(recordPath + ".lock");
    lock.lock();
    QFile file(recordPath);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(QString("%1 %2\n").arg(QCoreApplication::applicationPid()).arg(line).toUtf8());
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    recordPath = args[2];
    const int busyMs = args.value(3).toInt();
    const int askMs = args.value(4).toInt();
    const int hangMs = args.value(5).toInt();

    SingleInstance guard("sitest", args[1]);
    if (!guard.takeLock()) {
        const bool asked = askMs > 0 ? guard.activatePrevious(askMs) : guard.activatePrevious();
        record(asked ? "asked the first and ended" : "got no answer and ended");
        return 0;
    }
    record("locked");
    if (hangMs > 0)
        QThread::msleep(hangMs);
    if (!guard.listen()) {
        record("cannot listen");
        return 3;
    }
    record("listening");
    QObject::connect(&guard, &SingleInstance::activationRequested, &app, [&app] {
        record("activationRequested");
        app.quit();
    });
    if (busyMs > 0)
        QThread::msleep(busyMs);
    QTimer::singleShot(60000, &app, [&app] {
        record("nobody asked");
        app.quit();
    });
    return app.exec();
}
