#pragma once

class QWidget;

// Gives a window a fixed client area of the given size in twips and puts it in the middle of the
// screen.
void centreFixedWindow(QWidget* window, int widthTwips, int heightTwips);
