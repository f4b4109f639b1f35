#include "windows/frmacerca.h"

#include "platform/application.h"
#include "platform/forms.h"
#include "platform/twips.h"
#include "widgets/centring.h"
#include "widgets/designstyle.h"
#include "startup/version.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace {

QLabel *makeLabel(QWidget *parent, const char *name, const QString &caption, const QRect &place)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(place);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// One of the two lines of the engraved rule, `thickness` pixels from its left end.
QWidget *makeLine(QWidget *parent, int index, const QColor &colour, QPoint from, int right, int thickness)
{
    auto *line = new QWidget(parent);
    line->setObjectName(QStringLiteral("Line1_%1").arg(index));
    line->setProperty("index", index);
    line->setGeometry(QRect(from, QPoint(right, from.y() + thickness - 1)));
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    line->setAutoFillBackground(true);
    return line;
}

QPoint twipsPoint(double x, double y)
{
    return {platform::twips(x), platform::twips(y)};
}

} // namespace

frmAcerca::frmAcerca(QWidget *parent)
    : QWidget(parent, (widgets::FixedWindowFlags & ~Qt::Window) | Qt::Tool)
{
    widgets::setUpForm(this, "frmAcerca", QStringLiteral("About ") + platform::applicationTitle(), 5625, 5070);
    setFont(widgets::designFont(QStringLiteral("MS Sans Serif"), 8.25));
    // White text on black; the labels are transparent, so the black shows
    // through them.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);

    // In the order of the design, which is also the order they lie on top of
    // each other: the third picture overlaps the logo's right edge.
    widgets::makePicture(this, "Image1", QStringLiteral(":/trevlin/banner.jpg"),
                platform::twipsRect(360, 240, 4995, 1485));
    widgets::makePicture(this, "Image2", QStringLiteral(":/trevlin/splash2.jpg"),
                platform::twipsRect(2640, 1560, 2655, 630));
    m_title = makeLabel(this, "lblTitle", QString(), platform::twipsRect(480, 1920, 3885, 240));
    m_version = makeLabel(this, "lblVersion", QString(), platform::twipsRect(480, 2160, 3885, 225));
    auto *description = makeLabel(this, "lblDescription",
                                  QStringLiteral("Developed By the Trevlin team"),
                                  platform::twipsRect(480, 2520, 3885, 330));
    makeLine(this, 1, QColor(128, 128, 128), twipsPoint(450, 2925), platform::twips(5160), 1);
    makeLine(this, 0, Qt::white, twipsPoint(465, 2940), platform::twips(5160), 2);
    auto *disclaimer = makeLabel(this, "lblDisclaimer", QString(),
                                 platform::twipsRect(480, 3240, 4935, 465));
    disclaimer->setWordWrap(true);
    widgets::makePicture(this, "Imglogo", QStringLiteral(":/trevlin/logo.jpg"),
                platform::twipsRect(120, 3600, 2745, 1425));
    widgets::makePicture(this, "Image3", QStringLiteral(":/trevlin/image3.jpg"),
                platform::twipsRect(2760, 3840, 1470, 1065));

    // Ok is both the default and the cancel button (Enter and Escape press it).
    // Its 72 x 28 picture is kept with the pictures but not drawn: the face is
    // shorter than the picture.
    m_ok = new QPushButton(QStringLiteral("Ok"), this);
    m_ok->setObjectName(QStringLiteral("cmdOK"));
    m_ok->setGeometry(platform::twipsRect(4320, 4560, 1185, 375));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QWidget::close);
    m_ok->setFocus();

    // Tab order of the design; only the button takes the focus.
    setTabOrder(description, m_ok);
    setTabOrder(m_ok, disclaimer);
    setTabOrder(disclaimer, m_title);
    setTabOrder(m_title, m_version);

    platform::registerForm(this, [this] { activate(); });
}

frmAcerca::~frmAcerca()
{
    emit unloaded();
}

QString frmAcerca::versionLine(int major, int minor, int revision)
{
    return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
}

void frmAcerca::activate()
{
    widgets::centreWindow(this);
    setWindowTitle(QStringLiteral("About ") + platform::applicationTitle());
    m_version->setText(versionLine(startup::VersionMajor, startup::VersionMinor,
                                   startup::VersionRevision));
    m_title->setText(platform::applicationTitle());
}

void frmAcerca::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        m_ok->click();
        return;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}
