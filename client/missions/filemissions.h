#pragma once

#include <QString>

class TransferHost;

// Runs one getfile mission (packs the store files that match TargetFiles into name.zip beside
// the mission file, then optionally moves them into ArchivePath) or one sendfile mission
// (unpacks name.zip into DestinationPath and removes it). True when the archive was made or
// unpacked.
bool ProcessGetSendFile(TransferHost& host, const QString& missionPath);

// True when two folder texts name the same folder (another spelling, a trailing separator,
// "..", other case where the file system ignores case).
bool sameFolder(const QString& a, const QString& b);
