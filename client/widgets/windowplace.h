#pragma once

class QWidget;

// Puts a window in the middle of the primary screen's free area.
void centreOnScreen(QWidget* window);

// Gives a window a fixed client area of the given size in twips and puts it in the middle of the
// screen.
void centreFixedWindow(QWidget* window, int widthTwips, int heightTwips);
