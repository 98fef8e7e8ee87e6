#pragma once

#include "runtime/host.h"

#include <QPointer>

namespace zelvia::rt {

// The host of the running program: Qt's own dialogs, owned by the main window.
class QtHost final : public Host {
public:
    void setMainWindow(QWidget* window) override { owner_ = window; }
    void messageBox(const QString& text, int style, const QString& title) override;
    bool printerDialog(QPrinter& printer) override;
    bool confirmDelete(const QString& path) override;
    void deleteFailed(const QString& path, const QString& reason) override;
    void showHelp(const QString& helpFile, int command, std::uint32_t data) override;
    QAction* popupMenu(QMenu& menu, const QPoint& globalPos) override;
    void endProgram(int exitCode) override;

    // How the help viewer is opened; installed by the program at start.
    using HelpOpener = void (*)(QWidget* owner, const QString& helpFile, int command,
                                std::uint32_t data);
    void setHelpOpener(HelpOpener opener) { helpOpener_ = opener; }

private:
    QPointer<QWidget> owner_;
    HelpOpener helpOpener_ = nullptr;
};

} // namespace zelvia::rt
