#pragma once

#include <QString>

// The three-number version every program shows or reports ("2.3.9018").
struct ProgramVersion {
    int major;
    int minor;
    int revision;

    QString text() const;
};

namespace Versions {
extern const ProgramVersion Skyvane;
extern const ProgramVersion Vanelet;
extern const ProgramVersion SvSetup;
extern const ProgramVersion SvLaunch;
extern const ProgramVersion Updater;
} // namespace Versions
