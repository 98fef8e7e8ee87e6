#pragma once

namespace zelvia::rt {

// Makes Qt's standard dialogs (message box buttons, the printer dialog) speak Japanese, as the
// window does, whatever the user's locale. Returns false when Qt's Japanese translations are not
// installed; the dialogs then stay in English.
bool installToolkitTexts();

} // namespace zelvia::rt
