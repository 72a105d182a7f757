#include "client/transfer/ftpaccount.h"

FtpAccount& ftpAccount() {
    static FtpAccount account;
    return account;
}
