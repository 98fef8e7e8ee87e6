#pragma once

// Checks on pictures the tests share: what a picture draws, and which error a call raises.

#include "core/picture.h"

#include <QImage>
#include <functional>

namespace zelvia::test {

// The picture drawn into a transparent w x h box (in units) at `ratio` device pixels per unit.
QImage drawAt(const rt::Picture& p, int w, int h, double ratio = 1.0);

// The picture drawn over white, filling a box of `size` pixels.
QImage drawOnWhite(const rt::PicturePtr& p, QSize size);

// The number of the RuntimeError `f` throws, or 0 when it throws none.
int errorOf(const std::function<void()>& f);

} // namespace zelvia::test
