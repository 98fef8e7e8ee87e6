#include "app/frm_main.h"
#include "app/frm_menu.h"
#include "core/basic_types.h"
#include "platform/screen.h"

#include <QMenu>

namespace zelvia {

void frmMain::OpenPopup(const rt::MouseArgs& e) {
    if (e.button != rt::button::Right) {
        return;
    }
    frmMenu& carrier = LoadMenuCarrier();
    carrier.Move(rt::Screen::Width(), rt::Screen::Height());
    carrier.mnuPopUp->menuAction()->setVisible(true);
    carrier.choose(PopupMenu(*carrier.mnuPopUp));
}

void frmMain::fraFile_MouseUp(const rt::MouseArgs& e) {
    OpenPopup(e);
}
void frmMain::Frame2_MouseUp(const rt::MouseArgs& e) {
    OpenPopup(e);
}
void frmMain::lblFileAttribute_MouseUp(const rt::MouseArgs& e) {
    OpenPopup(e);
}
void frmMain::lblFileName_MouseUp(const rt::MouseArgs& e) {
    OpenPopup(e);
}
void frmMain::lblFileSize_MouseUp(const rt::MouseArgs& e) {
    OpenPopup(e);
}
void frmMain::lblHeight_MouseUp(const rt::MouseArgs& e) {
    OpenPopup(e);
}
void frmMain::lblLastDay_MouseUp(const rt::MouseArgs& e) {
    OpenPopup(e);
}
void frmMain::lblLine_MouseUp(const rt::MouseArgs& e) {
    OpenPopup(e);
}
void frmMain::lblWidth_MouseUp(const rt::MouseArgs& e) {
    OpenPopup(e);
}
void frmMain::picDir_MouseUp(const rt::MouseArgs& e) {
    OpenPopup(e);
}
void frmMain::picFil_MouseUp(const rt::MouseArgs& e) {
    OpenPopup(e);
}
void frmMain::picOut_MouseUp(const rt::MouseArgs& e) {
    OpenPopup(e);
}

} // namespace zelvia
