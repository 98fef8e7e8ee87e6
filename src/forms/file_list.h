#pragma once

#include "core/basic_types.h"
#include "forms/control.h"

#include <cstdint>

class QListView;

namespace zelvia::rt {

class FileListModel;

// The file list: the files of one folder that match a pattern and the attribute flags.
// Writing Path, Pattern or a flag makes the list out of date and leaves no entry selected; the
// folder is read again before the list is next read or painted, so that ListCount just after
// a write counts the new list while a run of writes lists the folder once.
// Every change of the selected entry by the user (mouse or keyboard) raises Click.
class FileList final : public Control {
public:
    explicit FileList(QWidget* parent);
    ~FileList() override;

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
    [[nodiscard]] QString FileName() const;
    [[nodiscard]] std::int32_t ListCount() const;
    [[nodiscard]] std::int32_t ListIndex() const;
    // Selects an entry (or none with -1) and raises Click, as a choice by the user does.
    void setListIndex(std::int32_t index);
    [[nodiscard]] QString List(std::int32_t index) const;

    // Re-reads the folder with the current pattern and flags.
    void Refresh();

    // How many times this list has read its folder.
    [[nodiscard]] std::uint64_t listingCount() const { return listings_; }

    [[nodiscard]] QListView* view() const { return view_; }

    Event<> Click;

private:
    // Marks the list out of date; it is read again on the next read, paint or event-loop turn.
    void invalidate();
    void ensureListed() const;
    void reread() const;

    QListView* view_;
    FileListModel* model_;
    QString path_;
    QString pattern_ = QStringLiteral("*.*");
    Boolean normal_ = True;
    Boolean archive_ = False;
    Boolean system_ = False;
    Boolean hidden_ = False;
    Boolean readOnly_ = False;
    mutable bool rereading_ = false;
    mutable bool stale_ = false;
    mutable std::uint64_t listings_ = 0;
};

} // namespace zelvia::rt
