#include "client/foundation/statuslog.h"

#include "client/foundation/cappedlog.h"
#include "client/foundation/clock.h"
#include "client/foundation/logfile.h"
#include "client/foundation/paths.h"

#include <QDir>
#include <QFile>
#include <QStringListModel>

#include <map>
#include <memory>

StatusWriter::~StatusWriter() = default;

StatusLog::StatusLog() : m_model(new QStringListModel), m_clock(&systemClock()) {}

StatusLog::~StatusLog() {
    delete m_model;
}

StatusLog& StatusLog::instance() {
    static StatusLog log;
    return log;
}

void StatusLog::writeStatus(const QString& text) {
    QString error;
    if (appendLogLine(transactLogPath(), text, *m_clock, &error)) {
        m_writeFailureShown = false;
    } else if (!m_writeFailureShown && !m_quiet) {
        // Reported once in the list only: writing it to the log would fail again.
        m_writeFailureShown = true;
        appendToList(QStringLiteral("Cannot write transact.log: ") + error);
    }
    if (m_quiet)
        return;
    appendToList(text);
}

void StatusLog::appendToList(const QString& text) {
    int rows = m_model->rowCount();
    if (rows >= MaxListLines) {
        m_model->removeRows(0, rows - MaxListLines + 1);
        rows = m_model->rowCount();
    }
    m_model->insertRows(rows, 1);
    m_model->setData(m_model->index(rows), visibleLine(text));
}

void StatusLog::setQuiet(bool quiet) {
    m_quiet = quiet;
}

bool StatusLog::isQuiet() const {
    return m_quiet;
}

QStringListModel* StatusLog::model() const {
    return m_model;
}

void StatusLog::setClock(const Clock* clock) {
    m_clock = clock ? clock : &systemClock();
}

const Clock& StatusLog::clock() const {
    return *m_clock;
}

QString StatusLog::transactLogPath() const {
    return Paths::inProgramFolder(QStringLiteral("transact.log"));
}

void WriteStatus(const QString& text) {
    StatusLog::instance().writeStatus(text);
}

namespace {
// The debug log of that name in the program folder, with what this run has written to it.
CappedLog& debugLog(const QString& name) {
    static std::map<QString, std::unique_ptr<CappedLog>> logs;
    const QString path = Paths::inProgramFolder(name);
    std::unique_ptr<CappedLog>& log = logs[path];
    if (!log)
        log = std::make_unique<CappedLog>(path);
    return *log;
}
} // namespace

QStringList ClearDebugLogs() {
    QStringList problems;
    const char* names[] = {"debug.log", "debugSend.log", "debugRecd.log", "debugFTP.log"};
    for (const char* name : names) {
        const QString path = Paths::inProgramFolder(QString::fromLatin1(name));
        debugLog(QString::fromLatin1(name)).restart();
        QFile file(path);
        // A log that cannot be removed stays; the run appends to it.
        if (file.exists() && !file.remove())
            problems << QStringLiteral("Cannot delete %1: %2").arg(path, file.errorString());
    }
    return problems;
}

QString debugLogForm(const QString& entry) {
    return entry.left(8) + QLatin1Char(' ') + entry.mid(8);
}

void WriteDebugMessage(const QString& entry, bool isSent) {
    const Clock& clock = StatusLog::instance().clock();
    debugLog(QStringLiteral("debug.log")).write(debugLogForm(entry), clock);
    debugLog(isSent ? QStringLiteral("debugSend.log") : QStringLiteral("debugRecd.log"))
        .write(entry, clock);
}

void WriteFtpDebug(const QString& text) {
    debugLog(QStringLiteral("debugFTP.log")).write(text, StatusLog::instance().clock());
}
