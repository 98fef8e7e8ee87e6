#include "app/frm_main.h"
#include "app/module1.h"
#include "commands/commands.h"
#include "commands/selection_state.h"
#include "core/basic_types.h"
#include "forms/app_object.h"
#include "platform/fs/trash.h"
#include "platform/host.h"

namespace zelvia {

void frmMain::mnuDelete_Click() {
    Module1::DeleteSelectedFile();
}

} // namespace zelvia

namespace zelvia::Module1 {

void DeleteSelectedFile() {
    frmMain& f = *MainForm();
    const QString fileName = f.picFil.FileName();
    // A list re-read since the selection has no selected entry: the path would name the folder
    // itself, which must never reach the trash. A FolderPath from another folder than the list's
    // would join a name to a folder it was never chosen in.
    if (commands::selectionStateOf(f.lblWidth.Caption()) == commands::SelectionState::NoFile ||
        fileName.isEmpty() || FolderPath != FolderPathOf(f.picFil.Path())) {
        rt::MsgBox(QStringLiteral("ファイルを指定していません。"), rt::style::Critical,
                   QStringLiteral("エラー"));
    } else {
        RecycleFile(FolderPath + fileName);
    }
    f.picFil.Refresh();
}

std::int32_t RecycleFile(const QString& path) {
    // The confirmation and any error report belong to the delete operation itself.
    if (!rt::host().confirmDelete(path)) {
        return 1;
    }
    const rt::TrashResult result = rt::moveToTrash(path);
    if (!result.ok) {
        rt::host().deleteFailed(path, result.message);
        return result.code == 0 ? 1 : result.code;
    }
    return 0;
}

} // namespace zelvia::Module1
