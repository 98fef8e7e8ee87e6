#pragma once

#include "forms/control.h"

#include <cstdint>

class QMainWindow;
class QMenu;
class QMenuBar;

namespace zelvia::rt {

// A top-level form: caption, icon, fixed inner area laid out in twips, a menu bar, a help
// context for F1, and popup menus run through the host.
class Form {
public:
    Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    virtual ~Form();

    [[nodiscard]] QMainWindow* window() const { return window_; }
    // The inner area that controls are placed in (below the menu bar).
    [[nodiscard]] QWidget* client() const { return client_; }
    [[nodiscard]] QMenuBar* menuBar() const;
    QMenu* addMenu(const QString& caption);

    [[nodiscard]] QString Caption() const;
    void setCaption(const QString& caption);

    // The inner area's size in twips; the window keeps it fixed, with the menu bar above.
    void setClientSize(double widthTwips, double heightTwips);

    // Outer size in twips. The window's frame belongs to the window manager on Linux, so a
    // request keeps the laid-out inner area and is recorded as asked.
    [[nodiscard]] double Width() const { return width_; }
    [[nodiscard]] double Height() const { return height_; }
    void setWidth(double twips) { width_ = twips; }
    void setHeight(double twips) { height_ = twips; }

    // Moves the form (twips); width and height stay.
    void Move(double left, double top);

    [[nodiscard]] std::int32_t HelpContextID() const { return helpContextId_; }
    void setHelpContextID(std::int32_t id) { helpContextId_ = id; }

    // Shows the form as an ordinary top-level window, centred on the screen the first time.
    void Show();

    // Runs `menu` as a popup at the pointer; the chosen item raises its Click through
    // `choose`, called with the chosen action.
    QAction* PopupMenu(QMenu& menu);

private:
    QMainWindow* window_;
    QWidget* client_;
    double width_ = 0;
    double height_ = 0;
    std::int32_t helpContextId_ = 0;
    bool shownOnce_ = false;
};

} // namespace zelvia::rt
