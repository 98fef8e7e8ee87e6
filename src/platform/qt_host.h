#pragma once

#include "platform/host.h"

#include <QPointer>
#include <QWidget>

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

private:
    QPointer<QWidget> owner_;
};

} // namespace zelvia::rt
