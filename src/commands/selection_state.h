#pragma once

#include "viewer/panel_text.h"

#include <QString>

namespace zelvia::commands {

// What the width label says about the display: it is the program's record of it.
enum class SelectionState { NoFile, NotDisplayable, Displayed };

inline SelectionState selectionStateOf(const QString& widthCaption) {
    if (widthCaption == panel::kWidthPrefix) {
        return SelectionState::NoFile;
    }
    if (widthCaption == panel::kWidthPrefix + panel::kNotDisplayable) {
        return SelectionState::NotDisplayable;
    }
    return SelectionState::Displayed;
}

} // namespace zelvia::commands
