#pragma once

#include "forms/control.h"

#include <map>

class QListView;

namespace zelvia::rt {

class DriveList;
class FolderModel;

// The folder list: the ancestors of the open folder from its drive's root down, the open folder
// and its subfolders one level deeper, each indented, as the folder model reads them.
// Double-click or Enter opens a folder. Writing Path raises Change before it returns.
class FolderList final : public Control {
public:
    FolderList(QWidget* parent, FolderModel& model);

    [[nodiscard]] const QString& Path() const { return path_; }
    // `value` is a folder path or a drive name. A drive name opens that drive's current folder:
    // the last one opened on it in this run or, when that can no longer be listed, the nearest
    // folder above it that can, or the drive's root. Throws RuntimeError when the folder (for a
    // drive: its root) cannot be opened (53 gone, 75 unreadable); the list then stays as it was.
    void setPath(const QString& value);
    // The root of the drive the list shows: the drive last written, kept while the user walks
    // into folders below it, mounted ones included.
    [[nodiscard]] const QString& Root() const { return root_; }

    // Opens `folder` without raising Change (the list's state when its form is created).
    void setInitialPath(const QString& folder);

    // The drive list whose drives this list opens: it resolves a drive name written as Path to
    // its root folder and names the drive that holds a folder. Without one, "/" is the only root.
    void setDrives(const DriveList& drives) { drives_ = &drives; }

    [[nodiscard]] std::int32_t ListCount();
    [[nodiscard]] QString List(std::int32_t index);
    [[nodiscard]] std::int32_t ListIndex();
    // How far the entry at `index` is moved right to show its level, in pixels.
    [[nodiscard]] int indentOf(std::int32_t index);
    // Opens the folder shown at `index`, as a double-click does.
    void openEntry(std::int32_t index);

    [[nodiscard]] QListView* view() const { return view_; }

    Event<> Change;

private:
    [[nodiscard]] int indentOfRow(int row) const;
    void open(const QString& folder);
    // Opens a folder the user chose from the rows on screen.
    void openChosen(const QString& folder);
    // The folder a return to the drive at `root` opens.
    [[nodiscard]] QString folderForDrive(const QString& root) const;

    QListView* view_;
    FolderModel& model_;
    QString path_;
    QString root_;
    const DriveList* drives_ = nullptr;
    std::map<QString, QString> lastFolderOfDrive_;
    // The folder made current by the user in outdated rows, if any.
    QString aimedAt_;
};

} // namespace zelvia::rt
