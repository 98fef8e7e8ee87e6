#include "forms/drive_list.h"

#include <QComboBox>
#include <QSignalBlocker>

namespace zelvia::rt {

DriveList::DriveList(QWidget* parent, DriveSource& source)
    : Control(new QComboBox(parent)), combo_(static_cast<QComboBox*>(widget())), source_(source) {
    combo_->setFocusPolicy(Qt::StrongFocus);
    combo_->setAccessibleName(QStringLiteral("ドライブ"));
    combo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    reload();
    QObject::connect(&source_, &DriveSource::changed, combo_, [this] { reload(); });
    // Programmatic changes block this signal: only a new drive chosen by the user reports here.
    QObject::connect(combo_, &QComboBox::currentIndexChanged, combo_,
                     [this](int) { runGuarded([this] { Change.raise(); }); });
}

void DriveList::reload() {
    const QString current = combo_->currentIndex() >= 0
                                ? drives_[static_cast<size_t>(combo_->currentIndex())].mountPoint
                                : QString();
    std::vector<rt::Drive> fresh = source_.drives();
    // A drive that vanished while shown stays listed until another is chosen; opening it
    // again then fails as an unreadable drive.
    bool currentStillThere = current.isEmpty();
    for (const rt::Drive& d : fresh) {
        currentStillThere = currentStillThere || d.mountPoint == current;
    }
    if (!currentStillThere) {
        fresh.push_back(drives_[static_cast<size_t>(combo_->currentIndex())]);
    }
    const QSignalBlocker block(combo_);
    drives_ = std::move(fresh);
    combo_->clear();
    for (const rt::Drive& d : drives_) {
        combo_->addItem(d.display());
    }
    combo_->setCurrentIndex(indexOf(current));
}

int DriveList::indexOf(const QString& mountPoint) const {
    for (size_t i = 0; i < drives_.size(); ++i) {
        if (drives_[i].mountPoint == mountPoint) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

QString DriveList::Drive() const {
    const int i = combo_->currentIndex();
    return i >= 0 ? drives_[static_cast<size_t>(i)].display() : QString();
}

QString DriveList::mountPointOf(const QString& value) const {
    // Only the mount point at the start of the text counts; a label may follow.
    const rt::Drive* best = nullptr;
    for (const rt::Drive& d : drives_) {
        if (value == d.mountPoint || value == d.display() ||
            value.startsWith(d.mountPoint + QStringLiteral(" ["))) {
            if (best == nullptr || d.mountPoint.size() > best->mountPoint.size()) {
                best = &d;
            }
        }
    }
    return best != nullptr ? best->mountPoint : QString();
}

QString DriveList::rootOf(const QString& path) const {
    const QString root = driveOf(drives_, path);
    return root.isEmpty() ? QStringLiteral("/") : root;
}

void DriveList::selectDriveOf(const QString& path) {
    const QSignalBlocker block(combo_);
    combo_->setCurrentIndex(indexOf(rootOf(path)));
}

void DriveList::setDrive(const QString& value) {
    const QString mount = mountPointOf(value);
    const int index = indexOf(mount);
    if (index < 0) {
        return;
    }
    {
        const QSignalBlocker block(combo_);
        combo_->setCurrentIndex(index);
    }
    Change.raise();
}

std::int32_t DriveList::ListCount() const {
    return combo_->count();
}

QString DriveList::List(std::int32_t index) const {
    return combo_->itemText(index);
}

} // namespace zelvia::rt
