#pragma once
// The thin flat ("static") edge the program gives some controls once they
// exist: text boxes, buttons and text pages look flat with it.

#include <QPointer>
#include <QWidget>

namespace Mofficeborder {

// Gives `control` a thin one-pixel sunken edge. Applying it again changes
// nothing; a null or already destroyed control does nothing and raises nothing.
void ApplyFlatBorder(const QPointer<QWidget> &control);

// True once the control carries the edge.
bool hasFlatBorder(const QWidget *control);

} // namespace Mofficeborder
