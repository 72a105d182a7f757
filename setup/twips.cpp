#include "setup/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

int twipsToPixels(int twips) {
    return (twips + 7) / 15;
}

QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

void centreFixedWindow(QWidget* window, int widthTwips, int heightTwips) {
    window->setFixedSize(twipsToPixels(widthTwips), twipsToPixels(heightTwips));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area(QPoint(), window->size());
        area.moveCenter(screen->availableGeometry().center());
        window->move(area.topLeft());
    }
}
