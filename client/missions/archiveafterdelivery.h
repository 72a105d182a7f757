#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class StatusWriter;

// The files getfile missions packed with ArchiveAfterGet, held until the return pack that carries
// them has been delivered: only then do they move into their ArchivePath. When the upload fails
// they stay where they are, and the next night's getfile packs them again.
class ArchiveAfterDelivery {
public:
    struct Packed {
        QString name;
        qint64 size = 0;
        QDateTime modified;
        QDateTime born; // invalid where the file system keeps no creation time
    };
    struct Mission {
        QString folder;
        QString archivePath;
        QList<Packed> files;
    };

    // The files of folder that a mission is about to pack, each as it is now (taken before the
    // packing, so that a file written while it is packed counts as changed).
    static Mission note(const QString& folder, const QStringList& names,
                        const QString& archivePath);
    // Holds a mission's files once its archive has been made.
    void add(const Mission& mission);

    // The return pack has been delivered: moves every noted file that is still as it was when
    // noted, replacing a file of the same name in the archive folder. A file written or made
    // anew since then stays for the next night (its new content was not delivered). A mission
    // whose archive folder cannot be made, or whose file cannot be moved, reports it and moves
    // none of its further files. Forgets everything noted.
    void moveAll(StatusWriter& status);

private:
    static Packed snapshot(const QString& path, const QString& name);
    static void moveMission(const Mission& mission, StatusWriter& status);

    QList<Mission> m_missions;
};
