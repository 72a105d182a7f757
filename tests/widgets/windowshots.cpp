// windowshots FOLDER: shows every window of the four windowed programs, as the fit test does,
// and writes a PNG of each into FOLDER (used by scripts/screenshots.sh under Xvfb).
#include "client/widgets/windowfonts.h"
#include "tests/widgets/windowgallery.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    WindowFonts::install();
    if (argc != 2) {
        std::fprintf(stderr, "usage: windowshots FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    WindowGallery gallery;
    QString error;
    if (!gallery.open(&error)) {
        std::fprintf(stderr, "windowshots: %s\n", qPrintable(error));
        return 1;
    }
    int status = 0;
    for (const WindowGallery::Window& window : gallery.windows()) {
        // One window at a time, so that none covers another on the screen.
        for (const WindowGallery::Window& other : gallery.windows())
            other.widget->setVisible(other.widget == window.widget);
        window.widget->raise();
        if (!QTest::qWaitForWindowExposed(window.widget))
            std::fprintf(stderr, "windowshots: %s was not shown\n", qPrintable(window.name));
        QTest::qWait(300);
        const QPixmap shot = window.widget->screen()->grabWindow(window.widget->winId());
        const QString path = folder.filePath(window.name + QStringLiteral(".png"));
        if (shot.isNull() || !shot.save(path)) {
            std::fprintf(stderr, "windowshots: could not write %s\n", qPrintable(path));
            status = 1;
            continue;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return status;
}
