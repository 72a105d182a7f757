#include "client/foundation/version.h"

QString ProgramVersion::text() const {
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(revision);
}

namespace Versions {
const ProgramVersion Skyvane{2, 3, 9018};
const ProgramVersion Vanelet{2, 3, 9015};
const ProgramVersion SvSetup{2, 3, 9014};
const ProgramVersion SvLaunch{2, 3, 9013};
const ProgramVersion Updater{2, 3, 9013};
} // namespace Versions
