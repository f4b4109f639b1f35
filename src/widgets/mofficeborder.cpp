#include "widgets/mofficeborder.h"

#include <QEvent>
#include <QPainter>

namespace Mofficeborder {
namespace {

const char *const EdgeName = "flatBorderEdge";

// A see-through layer over the control that draws the edge: dark on the top
// and left, light on the bottom and right. It follows the control's size and
// lets every mouse event through.
class FlatEdge : public QWidget
{
public:
    explicit FlatEdge(QWidget *control) : QWidget(control)
    {
        setObjectName(QLatin1String(EdgeName));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(control->rect());
        control->installEventFilter(this);
        raise();
        show();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == parent()) {
            if (event->type() == QEvent::Resize)
                setGeometry(parentWidget()->rect());
            else if (event->type() == QEvent::ChildAdded)
                raise(); // stay above scroll bars and viewports added later
        }
        return false;
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QRect r = rect().adjusted(0, 0, -1, -1);
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
    }
};

} // namespace

void ApplyFlatBorder(const QPointer<QWidget> &control)
{
    if (!control || hasFlatBorder(control))
        return;
    new FlatEdge(control);
}

bool hasFlatBorder(const QWidget *control)
{
    return control && control->findChild<QWidget *>(QLatin1String(EdgeName), Qt::FindDirectChildrenOnly);
}

} // namespace Mofficeborder
