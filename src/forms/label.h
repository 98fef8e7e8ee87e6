#pragma once

#include "forms/control.h"

class QLabel;
class QGroupBox;

namespace zelvia::rt {

// A label: its caption is kept exactly as written (file names may hold escaped bytes) and
// shown as a person can read it.
class Label final : public Control {
public:
    explicit Label(QWidget* parent, const QString& caption = QString());

    [[nodiscard]] const QString& Caption() const { return caption_; }
    void setCaption(const QString& caption);

private:
    QLabel* label_;
    QString caption_;
};

// A frame around other controls, with a caption.
class Frame final : public Control {
public:
    explicit Frame(QWidget* parent, const QString& caption = QString());

    [[nodiscard]] QString Caption() const;
    void setCaption(const QString& caption);
    [[nodiscard]] QGroupBox* box() const { return box_; }

private:
    QGroupBox* box_;
};

} // namespace zelvia::rt
