#include "widgets/designstyle.h"

#include <QFontDatabase>
#include <QLabel>
#include <QSet>
#include <QPalette>

#include "assets/decodedpictures.h"
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

// The design's faces are Windows faces; where one is not installed, these
// stand in, the first installed one: Liberation Sans is Arial's metric twin.
const QStringList &standIns()
{
#ifdef Q_OS_WIN
    // Windows has the design's faces; MS Sans Serif is a bitmap face that Qt
    // draws through its TrueType successor, Microsoft Sans Serif.
    static const QStringList faces{QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                                   QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans")};
#else
    static const QStringList faces{QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                   QStringLiteral("DejaVu Sans")};
#endif
    return faces;
}

// The installed face that shows `family`: the face itself where it is
// installed, else the first installed stand-in, else `family` (the font
// database then finds one of its own). A font asked for by an installed
// face's name is found at once, where a face that is not installed costs the
// font database a search for replacements (a fontconfig query for each face
// and style) the first time each font is used.
QString installedFace(const QString &family)
{
    // The windows are made on one thread, after the font database is there.
    static const QSet<QString> installed = [] {
        QSet<QString> faces;
        for (const QString &name : QFontDatabase::families()) {
            // A face offered by more than one foundry is listed as "Face [Foundry]".
            const qsizetype foundry = name.indexOf(QLatin1String(" ["));
            faces.insert((foundry < 0 ? name : name.left(foundry)).toCaseFolded());
        }
        return faces;
    }();
    for (const QString &candidate : QStringList{family} + standIns()) {
        if (installed.contains(candidate.toCaseFolded()))
            return candidate;
    }
    return family;
}

} // namespace

QFont designFont(const QString &family, double pointSize, bool bold, bool italic)
{
    // Characters the face lacks are looked for in the stand-ins first.
    QStringList faces = standIns();
    faces.prepend(installedFace(family));
    faces.removeDuplicates();
    QFont font;
    font.setFamilies(faces);
    font.setPointSizeF(pointSize);
    font.setItalic(italic);
    // Arial Black is a face of black weight; asking for that weight keeps it
    // heavy where a stand-in serves.
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
    // The icons are compiled in decoded; the other pictures are files.
    for (int i = 0; i < assets::decodedPictureCount; ++i) {
        const assets::DecodedPicture &decoded = assets::decodedPictures[i];
        if (name == QLatin1String(decoded.name))
            return QPixmap::fromImage(QImage(decoded.pixels, decoded.width, decoded.height, decoded.bytesPerLine,
                                             QImage::Format(decoded.format)));
    }
    ensureResources();
    return QPixmap(name);
}

QIcon windowIcon()
{
    return QIcon(picture(QStringLiteral(":/trevlin/icon.png")));
}

} // namespace widgets
