#pragma once

#include <QString>

// Moves source over target in one step, replacing target. Linux replaces a read-only target or
// one that another program holds open; Windows refuses both, so there a read-only target loses
// that attribute first, and a target held open is tried again for a while (a virus scanner
// lets go within a second or two). False with the system's text in *error.
bool replaceFile(const QString& source, const QString& target, QString* error);
