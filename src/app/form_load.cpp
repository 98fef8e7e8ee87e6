#include "app/frm_main.h"
#include "browser/filter_table.h"
#include "core/native_path.h"
#include "viewer/panel_text.h"

#include <QDir>
#include <array>
#include <climits>
#include <unistd.h>

namespace zelvia {

namespace {

// The process's current directory, byte-exact.
QString currentDirectory() {
    std::array<char, PATH_MAX> buffer{};
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
        return rt::decodeFileName(QByteArray(buffer.data()));
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
