#pragma once

#include <QString>

class Clock;

// The text as one line: CR, LF and the other control characters become visible escapes ("\r",
// "\n", "\t", "\x1b"), so that no text, whoever sent it, starts a line of its own in a log.
QString visibleLine(const QString& text);

// Log lines are written as visibleLine() in single-byte ANSI text (AnsiText).

// Appends one time-stamped line ("12/6/2026 9:53:13 AM :text" + CR LF) to a log file with its own
// open, append and close, so that other programs may read the log at any time.
// Returns false with a description in *error when the file cannot be written.
bool appendLogLine(const QString& path, const QString& text, const Clock& clock,
                   QString* error = nullptr);

// Appends text + CR LF without a time stamp (svLaunch's error.log).
bool appendPlainLine(const QString& path, const QString& text, QString* error = nullptr);
