// The wildcard matcher against a plain table-filling matcher: the input is a pattern and a name
// separated by the first 0x00.
#include "client/foundation/filesearch.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {
// Reference: can pattern[0..p) match name[0..n)? Filled row by row, quadratic but obvious.
bool reference(const QString& pattern, const QString& name) {
    const qsizetype P = pattern.size();
    const qsizetype N = name.size();
    std::vector<std::vector<char>> m(size_t(P + 1), std::vector<char>(size_t(N + 1), 0));
    m[0][0] = 1;
    for (qsizetype p = 1; p <= P; ++p) {
        const QChar c = pattern[p - 1];
        for (qsizetype n = 0; n <= N; ++n) {
            if (c == QLatin1Char('*'))
                m[p][n] = m[p - 1][n] || (n > 0 && m[p][n - 1]);
            else if (n > 0)
                m[p][n] = m[p - 1][n - 1] &&
                          (c == QLatin1Char('?') || c.toCaseFolded() == name[n - 1].toCaseFolded());
        }
    }
    return m[P][N];
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), int(size));
    const int split = input.indexOf('\0');
    if (split < 0 || size > 512)
        return 0;
    const QString pattern = QString::fromLatin1(input.left(split));
    const QString name = QString::fromLatin1(input.mid(split + 1));
    // Names ending ".*" also match names without a dot; compare the plain rule only.
    if (pattern.endsWith(QLatin1String(".*")))
        return 0;
    if (FileSearch::matches(pattern, name) != reference(pattern, name))
        std::abort();
    return 0;
}
