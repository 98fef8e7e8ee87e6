#include "app/frm_main.h"
#include "core/basic_types.h"
#include "forms/app_object.h"
#include "platform/host.h"
#include "zelvia_version.h"

namespace zelvia {

namespace {
const QString kHelpFile = QStringLiteral("Vistrel.hlp");
} // namespace

void frmMain::mnuContents_Click() {
    rt::host().showHelp(kHelpFile, rt::help::Contents, 0);
}

void frmMain::mnuReference_Click() {
    rt::host().showHelp(kHelpFile, rt::help::PartialKey, 0);
}

void frmMain::mnuVersion_Click() {
    const QString text = QStringLiteral("Zelvia Ver." ZELVIA_VERSION_TEXT) +
                         QStringLiteral("\r\n\r\n") +
                         QStringLiteral("Copyright (C) 2026 Zelvia の開発者たち (MIT ライセンス)");
    rt::MsgBox(text, rt::style::OkOnly, QStringLiteral("バージョン情報"));
}

void frmMain::mnuEnd_Click() {
    rt::host().endProgram(0);
}

} // namespace zelvia
