#include "app/frm_main.h"
#include "app/module1.h"
#include "browser/filter_table.h"
#include "core/basic_types.h"
#include "core/runtime_error.h"
#include "forms/app_object.h"
#include "platform/fs/short_name.h"
#include "viewer/panel_text.h"

namespace zelvia {

namespace {
// The short form of the open folder, worked out once per folder change: choosing files in the
// folder rewrites the path line without reading the folders above it again.
struct ShortForm {
    QString folder;
    QString text;
    bool known = false;
};
ShortForm g_shortForm;

QString shortFormOf(const QString& folder) {
    if (!g_shortForm.known || g_shortForm.folder != folder) {
        g_shortForm = {folder, rt::shortPathForLine(folder), true};
    }
    return g_shortForm.text;
}

void forgetShortForm() {
    g_shortForm.known = false;
}
} // namespace

void frmMain::picComb_Click() {
    const int index = picComb.ListIndex();
    if (index >= 0 && index < static_cast<int>(browser::kFilters.size())) {
        picFil.setPattern(browser::filterPattern(static_cast<size_t>(index)));
    }
}

void frmMain::picDrv_Change() {
    const auto onError = [this] {
        rt::MsgBox(QStringLiteral("ディスクの準備をしてください。"), rt::style::Critical,
                   QStringLiteral("ディスクエラー"));
        if (restoringDrive_) {
            return;
        }
        if (picDrv.mountPointOf(DriveORG).isEmpty()) {
            // The start drive is gone as well: that is reported, and not tried.
            rt::MsgBox(QStringLiteral("ディスクの準備をしてください。"), rt::style::Critical,
                       QStringLiteral("ディスクエラー"));
        } else {
            restoringDrive_ = true;
            try {
                picDrv.setDrive(DriveORG);
            } catch (...) {
                restoringDrive_ = false;
                throw;
            }
            restoringDrive_ = false;
        }
        // When the start drive could not be opened either, the drive list goes back to the
        // drive whose folder the folder and file lists still show.
        if (picDrv.mountPointOf(picDrv.Drive()) != picDir.Root()) {
            picDrv.selectDriveOf(picDir.Root());
        }
    };
    // The trap goes on with the statement after the one that failed.
    try {
        ClearFileInfo();
    } catch (const rt::RuntimeError&) {
        onError();
    }
    try {
        picDir.setPath(picDrv.Drive());
    } catch (const rt::RuntimeError&) {
        onError();
    }
}

void frmMain::picDir_Change() {
    forgetShortForm();
    ClearFileInfo();
    picFil.setPath(picDir.Path());
    WritePathLine();
}

void frmMain::WritePathLine() {
    if (Module1::ShortPathMode == rt::True) {
        lblLine.setCaption(panel::kLinePrefix + shortFormOf(picDir.Path()));
    } else {
        lblLine.setCaption(panel::kLinePrefix + picDir.Path());
    }
}

void frmMain::ToggleAttributeOption(rt::MenuItem& item,
                                    void (rt::FileList::*setFlag)(rt::Boolean)) {
    if (item.Checked() == rt::True) {
        (picFil.*setFlag)(rt::False);
        item.setChecked(rt::False);
    } else {
        (picFil.*setFlag)(rt::True);
        item.setChecked(rt::True);
    }
    Module1::ClearOnEmptyList();
}

void frmMain::mnuArchive_Click() {
    ToggleAttributeOption(mnuArchive, &rt::FileList::setArchive);
}

void frmMain::mnuHidden_Click() {
    ToggleAttributeOption(mnuHidden, &rt::FileList::setHidden);
}

void frmMain::mnuSystem_Click() {
    ToggleAttributeOption(mnuSystem, &rt::FileList::setSystem);
}

void frmMain::mnuNormal_Click() {
    ToggleAttributeOption(mnuNormal, &rt::FileList::setNormal);
}

void frmMain::mnuReadOnly_Click() {
    ToggleAttributeOption(mnuReadOnly, &rt::FileList::setReadOnly);
}

void frmMain::mnuShortPath_Click() {
    if (mnuShortPath.Checked() == rt::True) {
        Module1::ShortPathMode = rt::False;
        mnuShortPath.setChecked(rt::False);
        lblLine.setCaption(panel::kLinePrefix + picDir.Path());
    } else {
        Module1::ShortPathMode = rt::True;
        mnuShortPath.setChecked(rt::True);
        forgetShortForm();
        lblLine.setCaption(panel::kLinePrefix + shortFormOf(picDir.Path()));
    }
}

} // namespace zelvia

namespace zelvia::Module1 {

void ClearOnEmptyList() {
    frmMain* f = MainForm();
    if (f != nullptr && f->picFil.ListCount() == 0) {
        f->picOut.setPicture(nullptr);
    }
}

} // namespace zelvia::Module1
