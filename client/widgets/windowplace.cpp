#include "client/widgets/windowplace.h"

#include "client/widgets/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void centreOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area(QPoint(), window->size());
        area.moveCenter(screen->availableGeometry().center());
        window->move(area.topLeft());
    }
}

void centreFixedWindow(QWidget* window, int widthTwips, int heightTwips) {
    window->setFixedSize(Twips::toPixels(widthTwips), Twips::toPixels(heightTwips));
    centreOnScreen(window);
}
