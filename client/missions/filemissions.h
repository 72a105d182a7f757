#pragma once

#include <QString>

class ArchiveAfterDelivery;
class TransferHost;

// Runs one getfile mission (packs the store files that match TargetFiles into name.zip beside
// the mission file; with ArchiveAfterGet they are noted in afterDelivery, to move into
// ArchivePath once the return pack has been delivered) or one sendfile mission (unpacks name.zip
// into DestinationPath and removes it). True when the archive was made or unpacked.
bool ProcessGetSendFile(TransferHost& host, const QString& missionPath,
                        ArchiveAfterDelivery& afterDelivery);

// True when two folder texts name the same folder (another spelling, a trailing separator,
// "..", other case where the file system ignores case).
bool sameFolder(const QString& a, const QString& b);
