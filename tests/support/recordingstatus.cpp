#include "tests/support/recordingstatus.h"

void RecordingStatus::writeStatus(const QString& text) {
    lines << text;
}
