#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <atomic>

// Packs and unpacks the zip archives of the missions, the return pack and the self-update.
// Callers set the properties in a fixed order (archive, folder, mask, ZipFlagA, level, method,
// ZipFlagB) and then call zip() or unpack(). The result is 0 on success, otherwise one of the
// codes below; errorDescription(0, code) explains it, naming the file or entry at fault.
//
// Zipping stores the plain files directly in the base folder that match the mask, each under
// its bare name; subfolders are not included. Unpacking writes the matching entries into the
// destination folder (created when missing), recreating stored folder names inside it. Entry
// names are matched against the mask as stored, with "\" read as "/". An archive with an
// entry that would land outside the destination is refused before anything is written; of
// entries with one name, equal but for case included, the last one is unpacked. An unpacked
// file is executable when its entry says so; its other permissions are a new file's. A file
// that changes while it is being packed fails the operation (its copy would be torn).
// Archives and unpacked files are written under a temporary name (ReplacingFile, TempFolder)
// and renamed into place once complete, replacing a file of the same name.
//
// Both operations use every core (a single file is deflated on one) and return only when done,
// like any call on the caller's thread; setAbort may be called from another thread meanwhile.
class ZipComponent {
public:
    enum Result : qint16 {
        Success = 0,
        NothingToDo = 1,        // no file or entry matches the mask
        ArchiveMissing = 2,     // unpack: the archive file does not exist
        ArchiveDamaged = 3,     // not a zip archive, or an entry fails its check
        UnsafeEntry = 4,        // an entry would land outside the destination folder
        FolderMissing = 5,      // zip: the base folder does not exist
        CannotCreateFolder = 6, // unpack: the destination or a folder inside it
        CannotReadFile = 7,
        CannotWriteFile = 8,
        Aborted = 9,
        BadArguments = 10,
    };

    void setArchiveName(const QString& path);
    void setBaseFolder(const QString& folder);
    void setDestinationFolder(const QString& folder);
    void setMask(const QString& mask);
    // Kept as the callers pass them; they change nothing in how archives are made or read.
    void setZipFlagA(bool on);
    void setZipFlagB(bool on);
    // Deflate level 1 (fastest) to 9 (smallest); 0 stores the files uncompressed.
    void setLevel(qint32 level);
    // Zip method number: 8 deflate, 0 store.
    void setMethod(qint32 method);
    // Files of the base folder (full paths) that the next zip() leaves out.
    void setLeaveOut(const QStringList& paths);
    // Once set, every operation ends with Aborted until it is cleared again.
    void setAbort(bool on);

    QString archiveName() const;
    QString baseFolder() const;
    QString destinationFolder() const;
    QString mask() const;
    bool zipFlagA() const;
    bool zipFlagB() const;
    qint32 level() const;
    qint32 method() const;
    bool abort() const;

    qint16 zip();
    qint16 unpack();

    // The text for a result code. Called with (0, code): for the code of the last operation it
    // gives that operation's own message; otherwise the general text of the code.
    QString errorDescription(int kind, int code) const;

private:
    qint16 fail(Result code, const QString& text);
    bool checkCommon(const QString& folder, const char* folderRole);

    QString m_archive;
    QString m_baseFolder;
    QString m_destinationFolder;
    QString m_mask;
    bool m_zipFlagA = false;
    bool m_zipFlagB = false;
    qint32 m_level = 9;
    qint32 m_method = 8;
    QStringList m_leaveOut;
    std::atomic<bool> m_abort{false};

    qint16 m_lastResult = Success;
    QString m_lastText;
};
