#include "client/foundation/trimdown.h"

QString trimdown(const QString& buffer, int limit) {
    const int end = qMin(limit, int(buffer.size()));
    for (int i = 0; i < end; ++i) {
        if (buffer.at(i).isNull())
            return buffer.left(i);
    }
    return QString();
}
