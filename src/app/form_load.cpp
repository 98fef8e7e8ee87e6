#include "app/frm_main.h"
#include "browser/filter_table.h"
#include "runtime/fs/native_path.h"
#include "viewer/panel_text.h"

#include <QDir>
#include <climits>
#include <unistd.h>

namespace zelvia {

namespace {

// The process's current directory, byte-exact.
QString currentDirectory() {
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer) != nullptr) {
        return rt::decodeFileName(QByteArray(buffer));
    }
    return QDir::currentPath();
}

} // namespace

void frmMain::Form_Load() {
    // The lists start on the current drive and directory, as the form is created.
    const QString start = currentDirectory();
    picDrv.selectDriveOf(start);
    picDir.setInitialPath(start);
    picFil.setPath(start);

    DriveORG = picDrv.Drive();
    lblLine.setCaption(panel::kLinePrefix + picDir.Path());
    for (size_t i = 0; i < browser::kFilters.size(); ++i) {
        picComb.AddItem(browser::filterCaption(i));
    }
    picComb.setListIndex(0);
}

} // namespace zelvia
