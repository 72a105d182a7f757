#pragma once

#include <QString>

// Where the copy of a program that runs in a program folder answers later starts: a local
// channel that only accounts with rights on the folder can reach or replace.
// - Unix: a socket file in the folder. A folder path too long for a socket address is reached
//   through a descriptor of the folder (/proc/self/fd/N/...), whatever its length.
// - Windows: a named pipe. Pipe names are one namespace for every account, so the running copy
//   draws a new name that no other account can guess and keeps it in the file in the folder.
class ChannelAddress {
public:
    // file: the channel's file in the program folder (<folder>/<program>.channel).
    ChannelAddress(const QString& file, const QString& programName);
    ~ChannelAddress();
    ChannelAddress(const ChannelAddress&) = delete;
    ChannelAddress& operator=(const ChannelAddress&) = delete;

    // For the copy that holds the folder's lock: the address to listen on. Anything left at
    // that address by an earlier copy may be removed.
    QString forListening();
    // Makes the address listened on known to later starts. False when it cannot.
    bool publish();
    // For a later start: the address of the running copy; empty while none is known.
    QString forConnecting() const;

private:
    QString m_file;
    QString m_programName;
    QString m_listening; // Windows: the pipe name drawn for this copy
    int m_folderFd = -1; // Unix: the folder, for an address through /proc
};
