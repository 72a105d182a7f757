#pragma once

#include <QString>

// The FTP login and store folder the session server hands over (E20 to E23). The session of
// either client fills it in; the transfers read it.
struct FtpAccount {
    QString user;
    QString password;
    QString server;
    QString storeFolder;
};

FtpAccount& ftpAccount();
