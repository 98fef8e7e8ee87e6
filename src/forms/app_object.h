#pragma once

#include <QString>

namespace zelvia::rt {

// The application object: its title (the default title of message boxes) and its help file.
struct AppObject {
    QString Title = QStringLiteral("Zelvia");
    QString HelpFile;
};

AppObject& App();

// Shows a modal message box through the host. Without a title it carries App().Title.
void MsgBox(const QString& prompt, int style = 0, const QString& title = QString());

} // namespace zelvia::rt
