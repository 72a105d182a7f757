#include "client/session/twips.h"

namespace Twips {

int toPixels(int twips) {
    return twips / PerPixel;
}

QRect rect(int left, int top, int width, int height) {
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

} // namespace Twips
