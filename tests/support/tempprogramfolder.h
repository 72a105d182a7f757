#pragma once

#include <QString>
#include <QTemporaryDir>

// A fresh program folder for one test: the status log, the debug logs and skyvane.ini live
// there, and Paths::programFolder() points at it while the object lives.
class TempProgramFolder {
public:
    TempProgramFolder();
    ~TempProgramFolder();

    QString path() const;
    QString file(const QString& name) const;

    // Writes a file of the folder with the given bytes (CR LF is up to the caller).
    void write(const QString& name, const QByteArray& content) const;
    QByteArray read(const QString& name) const;
    // The lines of a text file without their CR LF.
    QStringList lines(const QString& name) const;
    // The lines of a log without their time stamps ("12/6/2026 9:53:13 AM :").
    QStringList logTexts(const QString& name) const;

private:
    QTemporaryDir m_dir;
};
