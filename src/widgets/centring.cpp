#include "widgets/centring.h"

#include "platform/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cfenv>
#include <cmath>

namespace widgets {

float centredEdge(float screenTwips, float outerTwips)
{
    std::feclearexcept(FE_ALL_EXCEPT);
    volatile float difference = screenTwips - outerTwips;
    volatile float edge = difference / 2.0f;
    if (std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW) || !std::isfinite(edge))
        throw CentringFault("Overflow while centring a window");
    return edge;
}

void centreWindow(QWidget *window)
{
    if (!window)
        return;
    QScreen *screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    try {
        const QRect outer = window->frameGeometry();
        const float left = centredEdge(float(platform::pixelsToTwips(area.width())),
                                       float(platform::pixelsToTwips(outer.width())));
        window->move(area.x() + platform::twips(left), window->frameGeometry().y());
        const float top = centredEdge(float(platform::pixelsToTwips(area.height())),
                                      float(platform::pixelsToTwips(outer.height())));
        window->move(window->frameGeometry().x(), area.y() + platform::twips(top));
    } catch (const CentringFault &fault) {
        // Centring runs on activation, where a box would come back every time.
        qWarning("%s: %s", qPrintable(window->objectName()), fault.what());
    }
}

} // namespace widgets
