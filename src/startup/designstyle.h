#pragma once
// Fonts, colours and pictures the windows share.

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QRect>
#include <QString>

class QLabel;
class QWidget;

namespace startup {

// A font of the design by its face name ("Arial", "Arial Black",
// "MS Sans Serif"); where the face is not installed the nearest installed one
// stands in (Liberation Sans, the metric twin of Arial, in heavy weight for
// Arial Black).
QFont designFont(const QString &family, double pointSize, bool bold = false, bool italic = false);

// The heading across the top of a window: Arial bold 14.25 pt, highlighted-text
// colour on the workspace colour, caption beginning with a blank.
QLabel *makeHeadingLabel(QWidget *parent, const QString &caption, const QRect &geometry);

// The program's compiled-in pictures, by resource name (":/trevlin/...").
QPixmap picture(const QString &name);
QIcon windowIcon();

} // namespace startup
