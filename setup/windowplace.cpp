#include "setup/windowplace.h"

#include "client/session/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void centreFixedWindow(QWidget* window, int widthTwips, int heightTwips) {
    window->setFixedSize(Twips::toPixels(widthTwips), Twips::toPixels(heightTwips));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area(QPoint(), window->size());
        area.moveCenter(screen->availableGeometry().center());
        window->move(area.topLeft());
    }
}
