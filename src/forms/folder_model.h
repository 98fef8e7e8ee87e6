#pragma once

#include "platform/fs/file_attributes.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <vector>

class QStandardItemModel;

namespace zelvia::rt {

class FileListModel;

// What the folder and file lists show, read in one place: the files of the file list's folder
// that pass its pattern and flags, and the rows of the folder list (the chain from the drive's
// root down to the open folder, then its subfolders). A write only marks its part out of date;
// update() reads what is out of date, in a single pass when both parts name the same folder,
// and the two item models announce their new rows to the views through Qt's model signals.
// The lists call update() before each read of their entries; otherwise it runs once the
// current action is over, so a run of writes lists the folder once.
class FolderModel final : public QObject {
    Q_OBJECT
public:
    explicit FolderModel(QObject* parent = nullptr);

    // The file list's folder, pattern and flags.
    void setFileQuery(const QString& folder, const QString& pattern, ListFlags flags);
    // The folder list's open folder and the root of its drive.
    void setOpenFolder(const QString& folder, const QString& root);
    // Reads both parts again, as they are, at the next update.
    void markFilesOutOfDate();
    void markFoldersOutOfDate();

    void update();
    [[nodiscard]] bool filesOutOfDate() const { return filesOutOfDate_; }
    [[nodiscard]] bool foldersOutOfDate() const { return foldersOutOfDate_; }

    [[nodiscard]] FileListModel* files() const { return files_; }
    [[nodiscard]] QStandardItemModel* folders() const { return folders_; }
    // The folder path a row of the folder list stands for, and the open folder's row.
    [[nodiscard]] QString folderAt(int row) const;
    // How many levels below the drive's root the folder of a row is.
    [[nodiscard]] int levelAt(int row) const;
    // The row showing `folder`, or -1.
    [[nodiscard]] int folderRow(const QString& folder) const;
    [[nodiscard]] int openFolderRow() const { return openFolderRow_; }

    // How many times the files have been listed.
    [[nodiscard]] std::uint64_t fileListings() const { return fileListings_; }

signals:
    // After update() has put new rows in files() or folders().
    void filesListed();
    void foldersListed();

private:
    void scheduleUpdate();
    void fillFolders(const std::vector<QString>& subfolders);

    FileListModel* files_;
    QStandardItemModel* folders_;
    QString fileFolder_;
    QString pattern_;
    ListFlags flags_;
    QString openFolder_;
    QString root_;
    int openFolderRow_ = -1;
    bool filesOutOfDate_ = false;
    bool foldersOutOfDate_ = false;
    bool updateScheduled_ = false;
    std::uint64_t fileListings_ = 0;
};

} // namespace zelvia::rt
