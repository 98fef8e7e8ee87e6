#include "forms/combo_box.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace zelvia::rt {

ComboBox::ComboBox(QWidget* parent)
    : Control(new QComboBox(parent)), combo_(static_cast<QComboBox*>(widget())) {
    combo_->setFocusPolicy(Qt::StrongFocus);
    QObject::connect(combo_, &QComboBox::activated, combo_,
                     [this](int) { runGuarded([this] { Click.raise(); }); });
}

void ComboBox::AddItem(const QString& text) {
    // Adding never chooses an entry: the first one added would otherwise become current.
    const QSignalBlocker block(combo_);
    const int current = combo_->currentIndex();
    combo_->addItem(text);
    combo_->setCurrentIndex(current);
}

std::int16_t ComboBox::ListIndex() const {
    return static_cast<std::int16_t>(combo_->currentIndex());
}

void ComboBox::setListIndex(std::int16_t index) {
    {
        const QSignalBlocker block(combo_);
        combo_->setCurrentIndex(index);
    }
    Click.raise();
}

std::int16_t ComboBox::ListCount() const {
    return static_cast<std::int16_t>(combo_->count());
}

QString ComboBox::List(std::int16_t index) const {
    return combo_->itemText(index);
}

} // namespace zelvia::rt
