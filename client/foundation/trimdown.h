#pragma once

#include <QString>

// The cleaning step every settings reader applies to a profile buffer: the characters before the
// first NUL, looking at no more than `limit` characters. A buffer without a NUL within that many
// characters yields an empty text. The clients look at 1023 characters, svLaunch and svSetup at 99.
QString trimdown(const QString& buffer, int limit = 1023);
