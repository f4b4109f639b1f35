#pragma once
// The player window's layout, in twips: the internal player (Frmplayer, in
// the player's module) and the window the program shows in its place when the
// module cannot be loaded look the same.

#include "platform/twips.h"

#include <QRect>

namespace playerwindow {

constexpr const char *FormName = "Frmplayer";
constexpr int WidthTwips = 7470;
constexpr int HeightTwips = 6240;
constexpr const char *Heading = " Internal Player";
constexpr QRect HeadingPlace = platform::twipsRect(120, 120, 7215, 375);
constexpr QRect PlayerPlace = platform::twipsRect(120, 720, 7215, 4815);
constexpr QRect FullscreenPlace = platform::twipsRect(5400, 5760, 1935, 375);

} // namespace playerwindow
