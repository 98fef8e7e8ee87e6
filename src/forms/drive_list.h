#pragma once

#include "forms/control.h"
#include "platform/fs/drives.h"

#include <vector>

class QComboBox;

namespace zelvia::rt {

// The drive list: the mounted file systems a person browses, shown as their mount point with
// the volume label in brackets. It follows mounts and unmounts while the program runs.
// Writing Drive selects the drive named at the start of the text and raises Change, also when
// that drive was already selected (the drive is opened again); a drive not listed is ignored.
class DriveList final : public Control {
public:
    DriveList(QWidget* parent, DriveSource& source);

    [[nodiscard]] QString Drive() const;
    void setDrive(const QString& value);

    // Selects the drive that holds `path` without raising Change (the start state).
    void selectDriveOf(const QString& path);

    // The mount point of the drive `value` names ("" when none), and the drive holding `path`.
    [[nodiscard]] QString mountPointOf(const QString& value) const;
    [[nodiscard]] QString rootOf(const QString& path) const;

    [[nodiscard]] std::int32_t ListCount() const;
    [[nodiscard]] QString List(std::int32_t index) const;
    [[nodiscard]] QComboBox* comboBox() const { return combo_; }

    Event<> Change;

private:
    void reload();
    [[nodiscard]] int indexOf(const QString& mountPoint) const;

    QComboBox* combo_;
    DriveSource& source_;
    std::vector<rt::Drive> drives_;
};

} // namespace zelvia::rt
