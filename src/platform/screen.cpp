#include "platform/screen.h"

#include <QGuiApplication>
#include <QScreen>

namespace zelvia::rt {

namespace {

QScreen* primary() {
    return QGuiApplication::primaryScreen();
}

double dpiX() {
    const QScreen* s = primary();
    return s != nullptr && s->logicalDotsPerInchX() > 0 ? s->logicalDotsPerInchX() : 96.0;
}

double dpiY() {
    const QScreen* s = primary();
    return s != nullptr && s->logicalDotsPerInchY() > 0 ? s->logicalDotsPerInchY() : 96.0;
}

} // namespace

double Screen::TwipsPerPixelX() {
    return kTwipsPerInch / dpiX();
}

double Screen::TwipsPerPixelY() {
    return kTwipsPerInch / dpiY();
}

double Screen::Width() {
    const QScreen* s = primary();
    return s != nullptr ? s->geometry().width() * TwipsPerPixelX() : 0.0;
}

double Screen::Height() {
    const QScreen* s = primary();
    return s != nullptr ? s->geometry().height() * TwipsPerPixelY() : 0.0;
}

} // namespace zelvia::rt
