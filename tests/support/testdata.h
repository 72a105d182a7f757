#pragma once

#include <QString>

// Files shipped with the tests (tests/data), and the folder of the built programs.
namespace TestData {
QString dataFile(const QString& name);
QString binDir();
QString program(const QString& name); // binDir + name + the platform's executable suffix
} // namespace TestData
