#pragma once
// filerewrite::rewrite on Windows (filerewrite_win.cpp).

#include "settings/filerewrite.h"

namespace filerewrite::win {

Outcome rewrite(const QString &path, qint64 maxBytes, const Change &change);

} // namespace filerewrite::win
