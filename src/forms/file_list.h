#pragma once

#include "core/basic_types.h"
#include "forms/control.h"

#include <cstdint>

class QListView;

namespace zelvia::rt {

class FolderModel;

// The file list: the files of one folder that match a pattern and the attribute flags, as the
// folder model reads them. Writing Path, Pattern or a flag makes the list out of date and leaves
// no entry selected; each read of the entries brings it up to date first, so that ListCount
// just after a write counts the new list while a run of writes lists the folder once.
// Every change of the selected entry by the user (mouse or keyboard) raises Click.
class FileList final : public Control {
public:
    FileList(QWidget* parent, FolderModel& model);

    [[nodiscard]] const QString& Path() const { return path_; }
    void setPath(const QString& path);
    [[nodiscard]] const QString& Pattern() const { return pattern_; }
    void setPattern(const QString& pattern);

    [[nodiscard]] Boolean Normal() const { return normal_; }
    void setNormal(Boolean on);
    [[nodiscard]] Boolean Archive() const { return archive_; }
    void setArchive(Boolean on);
    [[nodiscard]] Boolean System() const { return system_; }
    void setSystem(Boolean on);
    [[nodiscard]] Boolean Hidden() const { return hidden_; }
    void setHidden(Boolean on);
    [[nodiscard]] Boolean ReadOnly() const { return readOnly_; }
    void setReadOnly(Boolean on);

    // The selected entry's name (no folder part), or "" when none is selected.
    [[nodiscard]] QString FileName();
    [[nodiscard]] std::int32_t ListCount();
    [[nodiscard]] std::int32_t ListIndex();
    // Selects an entry (or none with -1) and raises Click, as a choice by the user does.
    void setListIndex(std::int32_t index);
    [[nodiscard]] QString List(std::int32_t index);

    // Re-reads the folder with the current pattern and flags.
    void Refresh();

    // How many times this list has read its folder.
    [[nodiscard]] std::uint64_t listingCount() const;

    [[nodiscard]] QListView* view() const { return view_; }

    Event<> Click;

private:
    // Hands the folder, pattern and flags to the model, which reads them again later.
    void invalidate();
    // The user chose `row` of the rows on screen.
    void userChose(int row);

    QListView* view_;
    FolderModel& model_;
    QString path_;
    QString pattern_ = QStringLiteral("*.*");
    Boolean normal_ = True;
    Boolean archive_ = False;
    Boolean system_ = False;
    Boolean hidden_ = False;
    Boolean readOnly_ = False;
    bool choosing_ = false;
};

} // namespace zelvia::rt
