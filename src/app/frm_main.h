#pragma once

#include "forms/combo_box.h"
#include "forms/drive_list.h"
#include "forms/file_list.h"
#include "forms/folder_list.h"
#include "forms/folder_model.h"
#include "forms/form.h"
#include "forms/label.h"
#include "forms/menu_item.h"
#include "forms/picture_box.h"
#include "platform/printer.h"

#include <memory>

namespace zelvia {

// The main window: the information frame with seven labels across the top, the square display
// box below it on the left, the browser frame with the four lists on the right, and the menus.
class frmMain final : public rt::Form {
public:
    explicit frmMain(rt::DriveSource& drives);
    ~frmMain() override;

    // State of the window (public, as other parts read and write it).
    float PicSize = 0.0F;
    QString DriveORG;

    // Controls.
    rt::Frame fraFile;
    rt::Label lblLine;
    rt::Label lblFileName;
    rt::Label lblFileAttribute;
    rt::Label lblFileSize;
    rt::Label lblLastDay;
    rt::Label lblHeight;
    rt::Label lblWidth;
    rt::PictureBox picOut;
    rt::Frame Frame2;
    // What the folder and file lists show; both read the folder through it.
    rt::FolderModel folderContents;
    rt::FileList picFil;
    rt::FolderList picDir;
    rt::DriveList picDrv;
    rt::ComboBox picComb;
    rt::PictureBox picTest;
    rt::CommonDialog cmdPicture;

    // Menus.
    QMenu* mnuFile;
    rt::MenuItem mnuPrint;
    rt::MenuItem mnuBar1;
    rt::MenuItem mnuEnd;
    QMenu* mnuEdit;
    rt::MenuItem mnuCopy;
    rt::MenuItem mnuDelete;
    QMenu* mnuAppear;
    rt::MenuItem mnuArchive;
    rt::MenuItem mnuHidden;
    rt::MenuItem mnuSystem;
    rt::MenuItem mnuNormal;
    rt::MenuItem mnuReadOnly;
    rt::MenuItem mnuBar2;
    rt::MenuItem mnuShortPath;
    QMenu* mnuHelp;
    rt::MenuItem mnuContents;
    rt::MenuItem mnuReference;
    rt::MenuItem mnuBar3;
    rt::MenuItem mnuVersion;

    // Start-up.
    void Form_Load();

    // Browsing.
    void picDrv_Change();
    void picDir_Change();
    void picComb_Click();

    // Display.
    void picFil_Click();

    // View options.
    void mnuArchive_Click();
    void mnuHidden_Click();
    void mnuSystem_Click();
    void mnuNormal_Click();
    void mnuReadOnly_Click();
    void mnuShortPath_Click();

    // Commands.
    void mnuPrint_Click();
    void mnuCopy_Click();
    void mnuDelete_Click();
    void mnuEnd_Click();
    void mnuContents_Click();
    void mnuReference_Click();
    void mnuVersion_Click();

    // The twelve areas that open the popup on a right-button release.
    void fraFile_MouseUp(const rt::MouseArgs& e);
    void Frame2_MouseUp(const rt::MouseArgs& e);
    void lblFileAttribute_MouseUp(const rt::MouseArgs& e);
    void lblFileName_MouseUp(const rt::MouseArgs& e);
    void lblFileSize_MouseUp(const rt::MouseArgs& e);
    void lblHeight_MouseUp(const rt::MouseArgs& e);
    void lblLastDay_MouseUp(const rt::MouseArgs& e);
    void lblLine_MouseUp(const rt::MouseArgs& e);
    void lblWidth_MouseUp(const rt::MouseArgs& e);
    void picDir_MouseUp(const rt::MouseArgs& e);
    void picFil_MouseUp(const rt::MouseArgs& e);
    void picOut_MouseUp(const rt::MouseArgs& e);

private:
    // Display helpers.
    void ClearFileInfo();
    void ShowReducedPicture();
    void DrawFileIcon();
    void ShowFailure(int errorNumber);

    // One routine behind the twelve mouse-up handlers.
    void OpenPopup(const rt::MouseArgs& e);
    // One routine behind the five attribute options.
    void ToggleAttributeOption(rt::MenuItem& item, void (rt::FileList::*setFlag)(rt::Boolean));
    // The path line for the open folder, long or short as ShortPathMode says.
    void WritePathLine();

    void layOut();
    void connectEvents();

    // Set while the drive list is being brought back to the start drive, so that a start drive
    // that cannot be opened either is reported once more and not retried without end.
    bool restoringDrive_ = false;
};

// The main window while the program runs (nullptr before Main and after Unload). The form
// is created and destroyed by Module1 only.
frmMain* MainForm();
frmMain& createMainForm(rt::DriveSource& drives);
void destroyMainForm();

} // namespace zelvia
