#include "app/frm_main.h"
#include "app/module1.h"
#include "commands/commands.h"
#include "commands/selection_state.h"
#include "core/basic_types.h"
#include "core/runtime_error.h"
#include "forms/app_object.h"
#include "platform/printer.h"
#include "viewer/panel_text.h"

#include <QDateTime>

namespace zelvia {

void frmMain::mnuPrint_Click() {
    Module1::PrintFileInfo();
}

} // namespace zelvia

namespace zelvia::Module1 {

void PrintFileInfo() {
    frmMain& f = *MainForm();
    const QString title = QStringLiteral("印刷エラー");
    switch (commands::selectionStateOf(f.lblWidth.Caption())) {
    case commands::SelectionState::NoFile:
        rt::MsgBox(QStringLiteral("ファイルを指定していません。"), rt::style::Critical, title);
        return;
    case commands::SelectionState::NotDisplayable:
        rt::MsgBox(QStringLiteral("ピクチャファイルを指定してください。"), rt::style::Critical,
                   title);
        return;
    case commands::SelectionState::Displayed:
        break;
    }
    try {
        rt::Printer printer;
        f.cmdPicture.ShowPrinter(printer.device());
        printer.setFontSize(15);
        printer.setFontBold(true);
        printer.Print(QStringLiteral("ファイル情報"));
        const QString crlf = QStringLiteral("\r\n");
        const QString body =
            f.lblLine.Caption() + crlf + f.lblFileName.Caption() + crlf + f.lblFileSize.Caption() +
            crlf + f.lblFileAttribute.Caption() + crlf + f.lblHeight.Caption() + crlf +
            f.lblWidth.Caption() + crlf + QStringLiteral("印刷日時： ") +
            panel::DateText(QDateTime::currentDateTime()) + crlf + QString(38, QLatin1Char('-'));
        printer.setFontSize(10);
        printer.setFontBold(false);
        printer.Print(body + crlf + crlf);
        printer.PaintPicture(f.picTest.Picture(), 10, 2350);
        printer.EndDoc();
    } catch (const rt::RuntimeError& e) {
        if (e.number() == rt::err::CancelError) {
            return;
        }
        rt::MsgBox(QStringLiteral("プリンタエラーです。原因を解決してください。"),
                   rt::style::Critical, QStringLiteral("プリンタエラー"));
    }
}

} // namespace zelvia::Module1
