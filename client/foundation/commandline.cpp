#include "client/foundation/commandline.h"

#include <QStringList>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace CommandLine {

QString argumentText(int argc, char** argv) {
#ifdef Q_OS_WIN
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    const QString line = QString::fromWCharArray(GetCommandLineW());
    // The program's path is the first token, in quotes when it holds blanks.
    qsizetype at = 0;
    if (line.startsWith(QLatin1Char('"'))) {
        at = line.indexOf(QLatin1Char('"'), 1);
        at = at < 0 ? line.size() : at + 1;
    } else {
        while (at < line.size() && line[at] != QLatin1Char(' ') && line[at] != QLatin1Char('\t'))
            ++at;
    }
    // One separator belongs to the path; further blanks are the session's own.
    if (at < line.size())
        ++at;
    return line.mid(at);
#else
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments.join(QLatin1Char(' '));
#endif
}

} // namespace CommandLine
