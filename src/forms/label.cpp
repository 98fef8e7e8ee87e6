#include "forms/label.h"

#include "core/native_path.h"

#include <QGroupBox>
#include <QLabel>

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

Frame::Frame(QWidget* parent, const QString& caption)
    : Control(new QGroupBox(caption, parent)), box_(static_cast<QGroupBox*>(widget())) {
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
