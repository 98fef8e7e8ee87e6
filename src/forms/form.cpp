#include "forms/form.h"

#include "core/basic_types.h"
#include "forms/app_object.h"
#include "platform/host.h"
#include "platform/screen.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <cmath>

namespace zelvia::rt {

Form::Form() : window_(new QMainWindow), client_(new QWidget(window_)) {
    window_->setCentralWidget(client_);
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), window_);
    f1->setContext(Qt::WindowShortcut);
    QObject::connect(f1, &QShortcut::activated, window_, [this] {
        runGuarded([this] {
            host().showHelp(App().HelpFile, help::Context,
                            static_cast<std::uint32_t>(helpContextId_));
        });
    });
}

Form::~Form() {
    delete window_;
}

QMenuBar* Form::menuBar() const {
    return window_->menuBar();
}

QMenu* Form::addMenu(const QString& caption) {
    return window_->menuBar()->addMenu(caption);
}

QString Form::Caption() const {
    return window_->windowTitle();
}

void Form::setCaption(const QString& caption) {
    window_->setWindowTitle(caption);
}

void Form::setClientSize(double widthTwips, double heightTwips) {
    const QSize px(static_cast<int>(std::lround(widthTwips / Screen::TwipsPerPixelX())),
                   static_cast<int>(std::lround(heightTwips / Screen::TwipsPerPixelY())));
    client_->setFixedSize(px);
    window_->adjustSize();
    window_->setFixedSize(window_->sizeHint());
}

void Form::Move(double left, double top) {
    window_->move(static_cast<int>(std::lround(left / Screen::TwipsPerPixelX())),
                  static_cast<int>(std::lround(top / Screen::TwipsPerPixelY())));
}

void Form::Show() {
    if (!shownOnce_) {
        shownOnce_ = true;
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            const QSize size = window_->frameGeometry().size().expandedTo(window_->size());
            window_->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
        }
    }
    window_->show();
}

QAction* Form::PopupMenu(QMenu& menu) {
    return host().popupMenu(menu, QCursor::pos());
}

} // namespace zelvia::rt
