#pragma once

#include <QRect>

// Window layouts are given in twips: 1/1440 inch, 15 twips to the pixel at 96 dots per inch.
namespace Twips {

constexpr int PerPixel = 15;

// Whole pixels, the rest dropped (window layouts).
int toPixels(int twips);
// The nearest pixel, halves away from zero (the progress display's boxes).
int toNearestPixels(int twips);
QRect rect(int left, int top, int width, int height);

} // namespace Twips
