#pragma once
// Fonts, colours and pictures the windows share.

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QRect>
#include <QString>

class QLabel;
class QWidget;

namespace widgets {

// A font of the design by its face name ("Arial", "Arial Black",
// "MS Sans Serif"); where the face is not installed the nearest installed one
// stands in (Liberation Sans, the metric twin of Arial, in heavy weight for
// Arial Black).
QFont designFont(const QString &family, double pointSize, bool bold = false, bool italic = false);

// The heading across the top of a window: Arial bold 14.25 pt, highlighted-text
// colour on the workspace colour, caption beginning with a blank.
QLabel *makeHeadingLabel(QWidget *parent, const QString &caption, const QRect &geometry);

// A fixed-size window with a title bar and a close box only.
constexpr Qt::WindowFlags FixedWindowFlags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                             | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// What every form of the program shares: its design name, going away when
// closed, its caption, the program's icon, and a fixed client area in twips.
void setUpForm(QWidget *form, const char *name, const QString &caption, int widthTwips, int heightTwips);

// A picture shown at its own size at `place`, named `name`.
QLabel *makePicture(QWidget *parent, const char *name, const QString &resource, const QRect &place);

// The program's compiled-in pictures, by resource name (":/trevlin/...").
QPixmap picture(const QString &name);
QIcon windowIcon();

} // namespace widgets
