#pragma once

#include <QString>

// Puts a newly downloaded client build (skyvane.new) in place of the client executable, keeps
// the previous build as skyvane.old and starts the client again. The store is never left
// without a client executable: nothing is moved before the new build is known to be there and
// the client is known to be gone, and a step that fails later puts the previous build back and
// leaves skyvane.new where it was.
class ExecutableSwap {
public:
    explicit ExecutableSwap(const QString& folder);
    virtual ~ExecutableSwap();

    QString clientPath() const; // skyvane (skyvane.exe on Windows)
    QString newPath() const;    // skyvane.new
    QString oldPath() const;    // skyvane.old

    // Swaps the files and starts the client with commandLine, the text update was given.
    // Returns false with a description in *error of what failed and where the builds are.
    bool run(const QString& commandLine, QString* error);

protected:
    // The steps that touch the system, so that a test can make one of them fail.
    virtual bool clientStillRunning();
    // Moves a file; with replace an existing target is replaced in the same step.
    virtual bool moveFile(const QString& from, const QString& to, bool replace, QString* error);
    virtual bool makeExecutable(const QString& path, QString* error);
    virtual bool startClient(const QString& commandLine, QString* error);

private:
    // Undoes a swap that got as far as moving the new build in place (newInPlace) and the
    // previous one aside (hadClient). Returns the sentence that says where the builds are.
    QString putBack(bool newInPlace, bool hadClient);

    QString m_folder;
};
