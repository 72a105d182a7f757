#pragma once

#include <QString>

#include <functional>

class TransferHost;

// Update step 1: fetches skyvane.zip from the root of the FTP account, unpacks skyvane.new from
// it next to the client and answers the server through sendCode: "E11" when skyvane.new is
// there, "E12" when the download failed, "E28" when something else went wrong. A failed login
// or a failed unpacking sends nothing. True when skyvane.new was unpacked.
bool AutoUpdateClient(TransferHost& host, const std::function<void(const QString&)>& sendCode);
