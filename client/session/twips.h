#pragma once

#include <QRect>

// Window layouts are given in twips: 1/1440 inch, 15 twips to the pixel at 96 dots per inch.
namespace Twips {

constexpr int PerPixel = 15;

int toPixels(int twips);
QRect rect(int left, int top, int width, int height);

} // namespace Twips
