#pragma once

#include <QString>
#include <QStringList>

// What vanelet's command line asks for.
struct HeadlessOptions {
    bool logEnabled = false;
    QString sessionName = QStringLiteral("default");
};

// The command line is the text after the program name, split at every single blank: two
// blanks in a row give an empty argument. "-log" (any case) turns logging on;
// "-session:name" sets the session (the part before the first colon in any case, the name up
// to a second colon); every other argument sets the session back to "default".
HeadlessOptions parseHeadlessCommandLine(const QString& commandLine);

// The command line as one text, from the arguments the platform split (without the program).
QString joinArguments(const QStringList& arguments);
