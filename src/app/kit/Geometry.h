#pragma once

#include <QRect>
#include <QSize>

namespace Kakiva {

// Window layouts are measured in twips: 1440 to the inch, so 15 twips make one logical
// pixel at 96 dots per inch. Qt scales logical pixels on high-DPI screens.
inline constexpr int TwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    const int half = TwipsPerPixel / 2;
    return (twips >= 0 ? twips + half : twips - half) / TwipsPerPixel;
}

constexpr QSize twipSize(int width, int height)
{
    return {twipsToPixels(width), twipsToPixels(height)};
}

constexpr QRect twipRect(int left, int top, int width, int height)
{
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

} // namespace Kakiva
