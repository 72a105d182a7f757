#include "client/widgets/twips.h"

#include <cmath>

namespace Twips {

int toPixels(int twips) {
    return twips / PerPixel;
}

int toNearestPixels(int twips) {
    return int(std::lround(double(twips) / PerPixel));
}

QRect rect(int left, int top, int width, int height) {
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

} // namespace Twips
