#include "forms/label.h"

#include "core/native_path.h"

#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

namespace zelvia::rt {

Label::Label(QWidget* parent, const QString& caption)
    : Control(new QLabel(parent)), label_(static_cast<QLabel*>(widget())) {
    label_->setTextFormat(Qt::PlainText);
    label_->setFocusPolicy(Qt::NoFocus);
    label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    watchMouse(label_, 1.0, 1.0);
    setCaption(caption);
}

void Label::setCaption(const QString& caption) {
    caption_ = caption;
    // Line breaks in a file name would push the text out of its one-line label.
    QString shown = displayFileName(caption);
    shown.replace(QLatin1Char('\n'), QChar(0x21B5));
    label_->setText(shown);
    label_->setAccessibleName(shown);
}

namespace {

// A frame drawn as the platform draws one: its top border runs through the middle of the
// caption, which breaks it, so the contents may start right below the caption's middle.
class CaptionedBox final : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        const QFontMetrics metrics(font());
        // Etched, as the platform's frames are; the style's own group box frame would leave
        // room for a caption above it.
        qDrawShadeRect(&painter, rect().adjusted(0, metrics.height() / 2, 0, 0), palette(), true);
        if (title().isEmpty()) {
            return;
        }
        constexpr int left = 6;
        constexpr int gap = 2;
        const QRect caption(left, 0, metrics.horizontalAdvance(title()) + 2 * gap,
                            metrics.height());
        painter.fillRect(caption, palette().window());
        style()->drawItemText(&painter, caption, Qt::AlignCenter | Qt::TextShowMnemonic, palette(),
                              isEnabled(), title(), QPalette::WindowText);
    }
};

} // namespace

Frame::Frame(QWidget* parent, const QString& caption)
    : Control(new CaptionedBox(caption, parent)), box_(static_cast<QGroupBox*>(widget())) {
    box_->setFocusPolicy(Qt::NoFocus);
    watchMouse(box_, 1.0, 1.0);
}

QString Frame::Caption() const {
    return box_->title();
}

void Frame::setCaption(const QString& caption) {
    box_->setTitle(caption);
}

} // namespace zelvia::rt
