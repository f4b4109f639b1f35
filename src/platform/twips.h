#pragma once
// The design gives every position and size in twips (1/1440 inch). Qt works in
// logical pixels and scales them for high-DPI screens itself, so one fixed
// factor of 15 twips to a pixel (a 96-dpi screen) is all the program needs.

#include <QRect>
#include <QSize>
#include <cmath>

namespace platform {

constexpr double TwipsPerPixel = 15.0;

constexpr int twips(double t)
{
    return static_cast<int>(t >= 0 ? t / TwipsPerPixel + 0.5 : t / TwipsPerPixel - 0.5);
}

constexpr QRect twipsRect(double left, double top, double width, double height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

constexpr QSize twipsSize(double width, double height)
{
    return QSize(twips(width), twips(height));
}

constexpr double pixelsToTwips(double px)
{
    return px * TwipsPerPixel;
}

} // namespace platform
