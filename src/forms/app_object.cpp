#include "forms/app_object.h"

#include "platform/host.h"

namespace zelvia::rt {

AppObject& App() {
    static AppObject app;
    return app;
}

void MsgBox(const QString& prompt, int style, const QString& title) {
    host().messageBox(prompt, style, title.isEmpty() ? App().Title : title);
}

} // namespace zelvia::rt
