#pragma once

#include <QString>

namespace CommandLine {

// The command line after the program's path, as the program received it: on Windows the
// process's own command line with its blanks, elsewhere the arguments joined by one blank.
// Call it before the QApplication exists: Qt takes its own options ("-session", "-reverse",
// "-style" ...) out of argv, and those are names of sessions like any other.
QString argumentText(int argc, char** argv);

} // namespace CommandLine
