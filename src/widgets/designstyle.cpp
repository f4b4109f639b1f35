#include "widgets/designstyle.h"

#include <QLabel>
#include <QPalette>

#include "platform/twips.h"

static void initAssets()
{
    Q_INIT_RESOURCE(assets);
}

namespace widgets {
namespace {

void ensureResources()
{
    static const bool done = [] {
        initAssets();
        return true;
    }();
    Q_UNUSED(done);
}

} // namespace

QFont designFont(const QString &family, double pointSize, bool bold, bool italic)
{
    static const bool substituted = [] {
        const QStringList sans{QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                               QStringLiteral("DejaVu Sans")};
        QFont::insertSubstitutions(QStringLiteral("Arial"), sans);
        QFont::insertSubstitutions(QStringLiteral("Arial Black"), sans);
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), sans);
        return true;
    }();
    Q_UNUSED(substituted);

    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setItalic(italic);
    // Arial Black is a face of black weight; asking for that weight keeps it
    // heavy where a stand-in serves (without asking the font database, whose
    // first look-up would slow the start).
    if (family == QLatin1String("Arial Black"))
        font.setWeight(QFont::Black);
    else if (bold)
        font.setWeight(QFont::Bold);
    return font;
}

QLabel *makeHeadingLabel(QWidget *parent, const QString &caption, const QRect &geometry)
{
    auto *label = new QLabel(caption, parent);
    label->setObjectName(QStringLiteral("Label1"));
    label->setGeometry(geometry);
    label->setFont(designFont(QStringLiteral("Arial"), 14.25, true));
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Dark));
    palette.setColor(QPalette::WindowText, palette.color(QPalette::HighlightedText));
    label->setPalette(palette);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

void setUpForm(QWidget *form, const char *name, const QString &caption, int widthTwips, int heightTwips)
{
    form->setObjectName(QLatin1String(name));
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->setWindowTitle(caption);
    form->setWindowIcon(windowIcon());
    form->setFixedSize(platform::twipsSize(widthTwips, heightTwips));
}

QLabel *makePicture(QWidget *parent, const char *name, const QString &resource, const QRect &place)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setPixmap(picture(resource));
    label->setGeometry(place);
    return label;
}

QPixmap picture(const QString &name)
{
    ensureResources();
    return QPixmap(name);
}

QIcon windowIcon()
{
    ensureResources();
    return QIcon(QStringLiteral(":/trevlin/icon.png"));
}

} // namespace widgets
