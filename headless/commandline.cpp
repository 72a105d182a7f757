#include "headless/commandline.h"

HeadlessOptions parseHeadlessCommandLine(const QString& commandLine) {
    HeadlessOptions options;
    if (commandLine.isEmpty())
        return options;
    const QStringList arguments = commandLine.split(QLatin1Char(' '));
    for (const QString& argument : arguments) {
        if (argument.compare(QLatin1String("-log"), Qt::CaseInsensitive) == 0) {
            options.logEnabled = true;
            continue;
        }
        const int colon = argument.indexOf(QLatin1Char(':'));
        if (colon >= 0 &&
            argument.left(colon).compare(QLatin1String("-session"), Qt::CaseInsensitive) == 0) {
            options.sessionName = argument.mid(colon + 1).section(QLatin1Char(':'), 0, 0);
            continue;
        }
        options.sessionName = QStringLiteral("default");
    }
    return options;
}

QString joinArguments(const QStringList& arguments) {
    return arguments.join(QLatin1Char(' '));
}
