#include "tests/support/clientprogram.h"

#include "client/foundation/ansitext.h"
#include "client/foundation/paths.h"
#include "tests/support/ftpserverfixture.h"
#include "tests/support/tempprogramfolder.h"
#include "tests/support/testdata.h"
#include "tests/support/testzip.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>

namespace ClientProgram {

bool installProgram(const TempProgramFolder& folder, const QString& name) {
    const QString target = folder.file(Paths::executableName(name));
    QFile::remove(target);
    return QFile::copy(TestData::program(name), target);
}

bool installClient(const TempProgramFolder& folder, quint16 sessionPort) {
    if (!installProgram(folder, QStringLiteral("skyvane")) ||
        !installProgram(folder, QStringLiteral("svGetData")))
        return false;
    folder.write(QStringLiteral("skyvane.ini"),
                 QStringLiteral("[system]\r\nID=STORE12\r\nPass=secret\r\nConnection=LAN\r\n"
                                "Server=127.0.0.1\r\nPort=%1\r\n")
                     .arg(sessionPort)
                     .toLatin1());
    return true;
}

QString scriptToUpdateQuestion(const QString& ftpUser, const QString& ftpPassword,
                               const QString& ftpServer, const QString& storeFolder) {
    return QStringLiteral("ignore STORE12E00\n"
                          "expect STORE12E01secret\n"
                          "send E011\n"
                          "expect STORE12E022.3.9018\n"
                          "send E02\n"
                          "expect STORE12E20\n"
                          "send E20%1\n"
                          "expect STORE12E21\n"
                          "send E21%2\n"
                          "expect STORE12E22\n"
                          "send E22%3\n"
                          "expect STORE12E23\n"
                          "send E23%4\n"
                          "expect STORE12E10\n")
        .arg(ftpUser, ftpPassword, ftpServer, storeFolder);
}

QByteArray ftpTlsSettings(const FtpServerFixture& ftp) {
    return "FtpTls=True\r\nFtpCaFile=" + ftp.caFile().toLocal8Bit() + "\r\n";
}

QByteArray reportsPack(const TempProgramFolder& folder, const QString& archiveFolder) {
    QDir().mkpath(folder.file("reports"));
    folder.write("reports/day.txt", "sales");
    QByteArray mission =
        "[Mission]\r\nType=getfile\r\nTargetFiles=" + folder.file("reports").toLocal8Bit() +
        "/*.txt\r\n";
    if (!archiveFolder.isEmpty())
        mission += "ArchiveAfterGet=True\r\nArchivePath=" + archiveFolder.toLocal8Bit() + "\r\n";
    return TestZip::make({{"a.ini", mission}});
}

bool startClient(QProcess& process, const TempProgramFolder& folder, const QStringList& arguments) {
    process.setProgram(folder.file(Paths::executableName(QStringLiteral("skyvane"))));
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start();
    return process.waitForStarted();
}

bool endsNormally(QProcess& process, int ms) {
    if (!waitFor([&] { return process.state() == QProcess::NotRunning; }, ms))
        return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool waitFor(const std::function<bool()>& done, int ms) {
    // Waits in the event loop rather than spinning: the programs under test need the cores.
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(10);
    return done();
}

QString runningFolder(const TempProgramFolder& folder) {
    return Paths::toNative(QFileInfo(folder.path()).canonicalFilePath());
}

QStringList logTexts(const QByteArray& log) {
    static const QRegularExpression stamp(
        QStringLiteral("^\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d{2}:\\d{2} [AP]M :"));
    QString text = AnsiText::decode(log);
    if (text.endsWith(QLatin1String("\r\n")))
        text.chop(2);
    QStringList out;
    if (text.isEmpty())
        return out;
    for (QString line : text.split(QStringLiteral("\r\n")))
        out << line.remove(stamp);
    return out;
}

} // namespace ClientProgram
