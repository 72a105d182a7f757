#include "tests/support/testdata.h"

#include <QDir>

namespace TestData {

QString dataFile(const QString& name) {
    return QDir(qEnvironmentVariable("SKYVANE_TEST_DATA_DIR")).filePath(name);
}

QString binDir() {
    return qEnvironmentVariable("SKYVANE_BIN_DIR");
}

QString program(const QString& name) {
#ifdef Q_OS_WIN
    return QDir(binDir()).filePath(name + QStringLiteral(".exe"));
#else
    return QDir(binDir()).filePath(name);
#endif
}

} // namespace TestData
