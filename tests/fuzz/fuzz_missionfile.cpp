// Mission files as a pack delivers them: the input is the mission file. Its keys are read as a
// getdata mission reads them (the database named is never there), and as the mission run reads
// the type. Nothing may crash or throw, whatever the text.
#include "client/foundation/clock.h"
#include "client/foundation/statuswriter.h"
#include "client/missions/getdata.h"
#include "client/missions/missionfiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {
class NoStatus : public StatusWriter {
public:
    void writeStatus(const QString&) override {}
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString folder =
        QDir::temp().filePath(QStringLiteral("fuzz_missionfile_%1").arg(getpid()));
    static const bool made = QDir().mkpath(folder);
    (void)made;
    const QString mission = folder + QStringLiteral("/m.ini");
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    // Any database a mission names is replaced by one that is not there.
    const QByteArray keys =
        QString::fromLatin1(input)
            .replace(QRegularExpression(QStringLiteral("mdbname"),
                                        QRegularExpression::CaseInsensitiveOption),
                     QStringLiteral("MDBNone"))
            .toLatin1();
    {
        QFile file(mission);
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        file.write(keys);
    }
    QFile::copy(mission, folder + QStringLiteral("/m.tsd"));
    NoStatus status;
    MissionFiles::readMissionKey(mission, QStringLiteral("Type"), QString(),
                                 MissionFiles::TypeBufferSize);
    ProcessGetData(mission, status);
    QFile::remove(folder + QStringLiteral("/m.tsd"));
    return 0;
}
