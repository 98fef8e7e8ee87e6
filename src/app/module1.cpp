#include "app/module1.h"

#include "app/frm_main.h"
#include "app/frm_menu.h"
#include "forms/app_object.h"
#include "lookahead/look_ahead.h"
#include "platform/host.h"

#include <QMainWindow>
#include <chrono>

namespace zelvia::Module1 {

void Main(rt::DriveSource& drives) {
    ShortPathMode = rt::False;
    FolderPath.clear();

    // Loading runs Form_Load, which fills the lists before the window has its size.
    frmMain& f = createMainForm(drives);
    rt::host().setMainWindow(f.window());
    f.Form_Load();

    // Outer size, in twips.
    f.setHeight(4830);
    f.setWidth(7980);

    f.picDrv.setToolTipText(QStringLiteral("表示するファイルが格納されているドライブを指定します"));
    f.picDir.setToolTipText(QStringLiteral("表示するファイルが格納されているフォルダを指定します"));
    f.picFil.setToolTipText(QStringLiteral("表示するファイルを指定します"));
    f.picComb.setToolTipText(QStringLiteral("表示するファイルの拡張子を指定します"));
    f.fraFile.setToolTipText(QStringLiteral("指定したファイルのファイル情報を表示します"));
    f.lblFileAttribute.setToolTipText(QStringLiteral("指定したファイルの属性を表示します"));
    f.lblFileName.setToolTipText(QStringLiteral("指定したファイルの名前を表示します"));
    f.lblFileSize.setToolTipText(QStringLiteral("指定したファイルの容量を表示します"));
    f.lblHeight.setToolTipText(QStringLiteral("指定したファイルの高さをピクセル値で表示します"));
    f.lblLastDay.setToolTipText(
        QStringLiteral("指定したファイルの作成日または最終更新日を表示します"));
    f.lblLine.setToolTipText(QStringLiteral("指定したファイルのコマンドラインを表示します"));
    f.lblWidth.setToolTipText(QStringLiteral("指定したファイルの幅をピクセル値で表示します"));

    // Cancelling the printer dialog raises error 32755, which printing takes as a quiet stop.
    f.cmdPicture.CancelError = rt::True;

    // The file list shows normal files only.
    f.picFil.setNormal(rt::True);
    f.picFil.setArchive(rt::False);
    f.picFil.setSystem(rt::False);
    f.picFil.setHidden(rt::False);
    f.picFil.setReadOnly(rt::False);

    f.setHelpContextID(9);
    rt::App().HelpFile = QStringLiteral("Vistrel.hlp");

    f.Show();

    // The menu starts unchecked, so the path line starts long whatever happened while loading.
    ShortPathMode = rt::False;
}

QString FolderPathOf(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

bool Unload() {
    // The worker decodes through Qt; it ends while the application object still exists. A
    // decode asked to stop ends within milliseconds; one stuck in a read never does, and the
    // program must not wait for it. Well under a second, so that closing stays quick.
    constexpr std::chrono::milliseconds kWorkerPatience(150);
    bool ended = true;
    if (rt::lookahead::LookAhead* lookAhead = rt::lookahead::shared()) {
        ended = lookAhead->stopWithin(kWorkerPatience);
    }
    UnloadMenuCarrier();
    destroyMainForm();
    ShortPathMode = rt::False;
    FolderPath.clear();
    rt::App().HelpFile.clear();
    return ended;
}

} // namespace zelvia::Module1
