// Runs one getdata mission from the command line, for timing against other exporters:
//   getdata_bench MISSION.ini
// The mission runs as the client runs it: in the database worker svGetData beside this program,
// waited for with the client's own loop. Status lines go to standard error; the .tsv is written
// beside the mission file.
#include "client/foundation/statuswriter.h"
#include "client/missions/getdataworker.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>
#include <cstdio>

namespace {
class StderrStatus : public StatusWriter {
public:
    void writeStatus(const QString& text) override {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
};
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: getdata_bench MISSION.ini\n");
        return 2;
    }
    StderrStatus status;
    GetDataWorker worker(GetDataWorker::programPath(QCoreApplication::applicationDirPath()));
    worker.run(args.at(1), status, [] {
        QThread::msleep(10);
        QCoreApplication::processEvents();
    });
    return 0;
}
