#pragma once
// The centring rule every window applies to itself.

#include <stdexcept>

class QWidget;

namespace widgets {

// Thrown when the centring arithmetic flags a floating-point fault (invalid
// operation, division by zero, overflow); the window is then not moved.
struct CentringFault : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// One edge: (screen extent - window outer extent) / 2, in twips and single
// precision, not rounded and not clamped. Throws CentringFault on a fault.
float centredEdge(float screenTwips, float outerTwips);

// Places `window` in the centre of its screen: Left first, then Top, from the
// window's outer (frame) size. A window larger than the screen gets a negative
// edge and sits partly off screen. On a fault the window stays where it was
// and the fault goes to the log.
void centreWindow(QWidget *window);

} // namespace widgets
