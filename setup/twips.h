#pragma once

#include <QRect>

// Window layouts are kept in twips; 15 twips make one pixel at 96 dots per inch.
int twipsToPixels(int twips);
QRect twipsRect(int left, int top, int width, int height);

class QWidget;
// Gives a window a fixed client area of the given size and puts it in the middle of the screen.
void centreFixedWindow(QWidget* window, int widthTwips, int heightTwips);
