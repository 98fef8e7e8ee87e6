#pragma once

#include <QPoint>
#include <QString>
#include <cstdint>

class QAction;
class QMenu;
class QPrinter;
class QWidget;

namespace zelvia::rt {

// Everything modal or outside the main window goes through the host, so that the program's
// logic never blocks in a test. The real host shows Qt dialogs; tests use a scripted one
// (tests/support/scripted_host.h).
class Host {
public:
    Host() = default;
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    virtual ~Host() = default;

    // The window that owns dialogs.
    virtual void setMainWindow(QWidget* window) = 0;

    // A modal message box with one OK button (style 16 adds the stop icon).
    virtual void messageBox(const QString& text, int style, const QString& title) = 0;

    // The printer dialog for `printer`. Returns false when the user cancels.
    // Throws RuntimeError when no printer can be used at all.
    virtual bool printerDialog(QPrinter& printer) = 0;

    // Asks whether `path` may be moved to the trash.
    virtual bool confirmDelete(const QString& path) = 0;
    // Tells that `path` could not be moved to the trash, and why.
    virtual void deleteFailed(const QString& path, const QString& reason) = 0;

    // Opens the help viewer (command as in rt::help) for `helpFile`; never blocks.
    virtual void showHelp(const QString& helpFile, int command, std::uint32_t data) = 0;

    // Runs `menu` as a popup at `globalPos`; returns the chosen action or nullptr.
    virtual QAction* popupMenu(QMenu& menu, const QPoint& globalPos) = 0;

    // Ends the program at once with `exitCode`.
    virtual void endProgram(int exitCode) = 0;
};

// The host the running program uses. Set once at start (or by a test) before any form exists.
Host& host();
void setHost(Host* h);

} // namespace zelvia::rt
