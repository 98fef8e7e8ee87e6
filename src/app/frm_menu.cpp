#include "app/frm_menu.h"

#include "app/module1.h"
#include "commands/commands.h"

#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <memory>

namespace zelvia {

namespace {
std::unique_ptr<frmMenu> g_carrier;
} // namespace

frmMenu::frmMenu()
    : mnuPopUp(addMenu(QStringLiteral("PopUp Menu"))),
      pmnuPrint(mnuPopUp, QStringLiteral("印刷(&P)"), {}, rt::MenuItem::Raise::OnChooseOnly),
      pmnuCopy(mnuPopUp, QStringLiteral("コピー(&C)"), {}, rt::MenuItem::Raise::OnChooseOnly),
      mnuDelete(mnuPopUp, QStringLiteral("削除(&D)"), {}, rt::MenuItem::Raise::OnChooseOnly) {
    setCaption(QStringLiteral("frmMenu"));
    pmnuPrint.Click.connect([this] { pmnuPrint_Click(); });
    pmnuCopy.Click.connect([this] { pmnuCopy_Click(); });
    mnuDelete.Click.connect([this] { mnuDelete_Click(); });
}

void frmMenu::pmnuPrint_Click() {
    Module1::PrintFileInfo();
}

void frmMenu::pmnuCopy_Click() {
    Module1::CopyPicture();
}

void frmMenu::mnuDelete_Click() {
    Module1::DeleteSelectedFile();
}

void frmMenu::choose(const QAction* action) {
    for (const rt::MenuItem* item : {&pmnuPrint, &pmnuCopy, &mnuDelete}) {
        if (item->action() == action) {
            item->choose();
            return;
        }
    }
}

frmMenu& LoadMenuCarrier() {
    if (!g_carrier) {
        g_carrier = std::make_unique<frmMenu>();
    }
    return *g_carrier;
}

frmMenu* MenuCarrier() {
    return g_carrier.get();
}

void UnloadMenuCarrier() {
    g_carrier.reset();
}

} // namespace zelvia
