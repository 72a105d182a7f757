#include "client/widgets/windowfonts.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>

namespace {

struct Face {
    const char* family;
    const char* file;
};

// Debian's fonts-wine: faces made to the metrics of the Windows originals. fontconfig does not
// look into their folder, so they are added to the application. Arial needs nothing here:
// fontconfig maps it onto Liberation Sans, which has its metrics.
const char* const metricCompatibleFolder = "/usr/share/wine/fonts";
const Face metricCompatibleFaces[] = {
    {"MS Sans Serif", "ms_sans_serif.ttf"},
    {"Tahoma", "tahoma.ttf"},
    {"Tahoma", "tahomabd.ttf"},
};

void addMissingFaces() {
    QStringList missing;
    for (const Face& face : metricCompatibleFaces) {
        const QString family = QString::fromLatin1(face.family);
        if (!missing.contains(family) && !QFontDatabase::hasFamily(family))
            missing << family;
    }
    const QDir folder(QString::fromLatin1(metricCompatibleFolder));
    for (const Face& face : metricCompatibleFaces) {
        if (missing.contains(QString::fromLatin1(face.family)))
            QFontDatabase::addApplicationFont(folder.filePath(QString::fromLatin1(face.file)));
    }
}

} // namespace

namespace WindowFonts {

void install() {
    addMissingFaces();
    QFont standard(QStringLiteral("MS Sans Serif"));
    standard.setPointSizeF(8.25);
    QApplication::setFont(standard);
}

} // namespace WindowFonts
