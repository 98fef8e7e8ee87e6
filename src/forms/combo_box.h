#pragma once

#include "forms/control.h"

#include <cstdint>

class QComboBox;

namespace zelvia::rt {

// A drop-down list. Writing ListIndex selects the entry and raises Click before it returns,
// exactly as a choice by the user does.
class ComboBox final : public Control {
public:
    explicit ComboBox(QWidget* parent);

    void AddItem(const QString& text);
    [[nodiscard]] std::int16_t ListIndex() const;
    void setListIndex(std::int16_t index);
    [[nodiscard]] std::int16_t ListCount() const;
    [[nodiscard]] QString List(std::int16_t index) const;
    [[nodiscard]] QComboBox* comboBox() const { return combo_; }

    Event<> Click;

private:
    QComboBox* combo_;
};

} // namespace zelvia::rt
