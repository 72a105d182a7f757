#pragma once

#include <QString>

class Clock;

// Appends one time-stamped line ("12/6/2026 9:53:13 AM :text" + CR LF) to a log file with its own
// open, append and close, so that other programs may read the log at any time.
// Returns false with a description in *error when the file cannot be written.
bool appendLogLine(const QString& path, const QString& text, const Clock& clock,
                   QString* error = nullptr);

// Appends text + CR LF without a time stamp (svLaunch's error.log).
bool appendPlainLine(const QString& path, const QString& text, QString* error = nullptr);
