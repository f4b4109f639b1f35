#include "startup/frmsplash.h"

#include "platform/forms.h"
#include "platform/twips.h"
#include "widgets/centring.h"
#include "widgets/designstyle.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

namespace {

// A click on a picture is the picture's own and has no action: it must not
// reach the frame underneath.
QLabel *makePicture(QWidget *parent, const char *name, const QString &resource, const QRect &place)
{
    QLabel *picture = widgets::makePicture(parent, name, resource, place);
    picture->setAttribute(Qt::WA_NoMousePropagation);
    return picture;
}

void fillBackground(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace

frmSplash::frmSplash(MainWindow mainWindow, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), m_mainWindow(std::move(mainWindow))
{
    // A tool window keeps out of the task bar; being frameless it has no title
    // bar, caption or control box, and it still takes the keyboard focus.
    // The caption is never drawn (no title bar); it names the window for
    // window lists and screen readers, apart from the main window's "Trevlin".
    widgets::setUpForm(this, "frmSplash", QStringLiteral("Starting Trevlin"), 7380, 3795);
    setFocusPolicy(Qt::StrongFocus);
    // The window shows the menu-text colour, the frame the button-text colour:
    // both black in the usual colour scheme.
    fillBackground(this, QApplication::palette("QMenu").color(QPalette::WindowText));

    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("Frame1"));
    m_frame->setGeometry(platform::twipsRect(150, 60, 7080, 3555));
    fillBackground(m_frame, palette().color(QPalette::ButtonText));
    m_frame->installEventFilter(this);

    // The counter of the wait loop lives in the timer's interval. The timer is
    // enabled in the design but has nothing to do on a tick, so it never runs.
    m_timer = new QTimer(m_frame);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(0);

    // The same two pictures as the About window's banner and second picture.
    makePicture(m_frame, "Image2", QStringLiteral(":/trevlin/banner.jpg"),
                platform::twipsRect(1080, 840, 4995, 1485));
    makePicture(m_frame, "Image1", QStringLiteral(":/trevlin/splash2.jpg"),
                platform::twipsRect(3360, 2280, 2655, 630));

    platform::registerForm(this, {});
}

int frmSplash::counter() const
{
    return m_timer->interval();
}

void frmSplash::load()
{
    widgets::centreWindow(this);

    // Key and click handlers run nested inside the event processing of a pass;
    // once one of them has handed over, the loop leaves without another step.
    const QPointer<frmSplash> self(this);
    const auto handedOver = [&self] { return !self || self->m_handedOver; };
    while (counter() <= WaitPasses - 1) {
        if (!isVisible())
            platform::showForm(this);
        QCoreApplication::processEvents();
        if (handedOver())
            return;
        m_mainWindow(); // created hidden in the first pass, found there later
        if (handedOver())
            return;
        m_timer->setInterval(counter() + 1);
    }
    m_handedOver = true;
    close();
    platform::showForm(m_mainWindow());
}

void frmSplash::handOver()
{
    if (m_handedOver)
        return;
    m_handedOver = true;
    platform::showForm(m_mainWindow());
    close();
}

void frmSplash::keyPressEvent(QKeyEvent *event)
{
    // Any key that delivers a character; arrows, function keys and lone
    // modifiers deliver none.
    if (event->text().isEmpty()) {
        QWidget::keyPressEvent(event);
        return;
    }
    handOver();
}

void frmSplash::closeEvent(QCloseEvent *event)
{
    if (!m_handedOver && event->spontaneous()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

bool frmSplash::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_frame)
        return QWidget::eventFilter(watched, event);
    // A click on the frame's own area: pressed and released over it.
    if (event->type() == QEvent::MouseButtonPress) {
        m_framePressed = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
    } else if (event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const bool click = m_framePressed && mouse->button() == Qt::LeftButton
                           && m_frame->rect().contains(mouse->position().toPoint());
        m_framePressed = false;
        if (click)
            handOver();
    }
    return QWidget::eventFilter(watched, event);
}
