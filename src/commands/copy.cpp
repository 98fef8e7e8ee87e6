#include "app/frm_main.h"
#include "app/module1.h"
#include "commands/commands.h"
#include "commands/selection_state.h"
#include "core/basic_types.h"
#include "core/runtime_error.h"
#include "forms/app_object.h"
#include "platform/clipboard.h"

namespace zelvia {

void frmMain::mnuCopy_Click() {
    Module1::CopyPicture();
}

} // namespace zelvia

namespace zelvia::Module1 {

void CopyPicture() {
    frmMain& f = *MainForm();
    const QString title = QStringLiteral("クリップボードエラー");
    switch (commands::selectionStateOf(f.lblWidth.Caption())) {
    case commands::SelectionState::NoFile:
        rt::MsgBox(QStringLiteral("ファイルを指定していません。"), rt::style::Critical, title);
        return;
    case commands::SelectionState::NotDisplayable:
        rt::MsgBox(QStringLiteral("指定したファイルは、コピーできない形式です。"),
                   rt::style::Critical, title);
        return;
    case commands::SelectionState::Displayed:
        break;
    }
    try {
        // Placing the picture clears the clipboard, but only once the picture is ready, so a
        // failure leaves the clipboard as it was.
        rt::Clipboard::SetData(f.picTest.Picture());
    } catch (const rt::RuntimeError&) {
        // The picture could not be produced at its full size (too large, or damaged data
        // found only now).
        rt::MsgBox(QStringLiteral("ピクチャをクリップボードにコピーできませんでした。"),
                   rt::style::Critical, title);
    }
}

} // namespace zelvia::Module1
