#include "app/frm_main.h"

#include "app/module1.h"

#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QListView>
#include <QMainWindow>
#include <QMenu>

namespace zelvia {

namespace {
std::unique_ptr<frmMain> g_mainForm;
} // namespace

frmMain* MainForm() {
    return g_mainForm.get();
}

frmMain& createMainForm(rt::DriveSource& drives) {
    g_mainForm = std::make_unique<frmMain>(drives);
    return *g_mainForm;
}

void destroyMainForm() {
    g_mainForm.reset();
}

frmMain::frmMain(rt::DriveSource& drives)
    : fraFile(client(), QStringLiteral("ファイル詳細")),
      lblLine(fraFile.box(), QStringLiteral("ｺﾏﾝﾄﾞﾗｲﾝ：")),
      lblFileName(fraFile.box(), QStringLiteral("ファイル名：")),
      lblFileAttribute(fraFile.box(), QStringLiteral("ﾌｧｲﾙ属性：")),
      lblFileSize(fraFile.box(), QStringLiteral("ﾌｧｲﾙｻｲｽﾞ：")),
      lblLastDay(fraFile.box(), QStringLiteral("最終更新日：")),
      lblHeight(fraFile.box(), QStringLiteral("縦(ﾋﾟｸｾﾙ)：")),
      lblWidth(fraFile.box(), QStringLiteral("横(ﾋﾟｸｾﾙ)：")),
      picOut(client(), {.scaleMode = rt::PictureBox::ScaleMode::Pixels, .autoRedraw = true}),
      Frame2(client()), picFil(Frame2.box(), folderContents), picDir(Frame2.box(), folderContents),
      picDrv(Frame2.box(), drives), picComb(Frame2.box()),
      picTest(client(), {.scaleMode = rt::PictureBox::ScaleMode::Twips, .autoSize = true}),
      mnuFile(addMenu(QStringLiteral("ファイル(&F)"))),
      mnuPrint(mnuFile, QStringLiteral("印刷(&P)"), QKeySequence(Qt::Key_F4)),
      mnuBar1(mnuFile, QStringLiteral("-")), mnuEnd(mnuFile, QStringLiteral("Zelviaの終了(&E)")),
      mnuEdit(addMenu(QStringLiteral("編集(&E)"))),
      mnuCopy(mnuEdit, QStringLiteral("コピー(&C)"), QKeySequence(Qt::Key_F3)),
      mnuDelete(mnuEdit, QStringLiteral("削除(&D)")),
      mnuAppear(addMenu(QStringLiteral("表示(&A)"))),
      mnuArchive(mnuAppear, QStringLiteral("アーカイブファイル(&A)")),
      mnuHidden(mnuAppear, QStringLiteral("隠しファイル(&H)")),
      mnuSystem(mnuAppear, QStringLiteral("システムファイル(&S)")),
      mnuNormal(mnuAppear, QStringLiteral("通常ファイル(&N)")),
      mnuReadOnly(mnuAppear, QStringLiteral("読み取り専用ファイル(&R)")),
      mnuBar2(mnuAppear, QStringLiteral("-")),
      mnuShortPath(mnuAppear, QStringLiteral("短いパス名で表示(&P)")),
      mnuHelp(addMenu(QStringLiteral("ヘルプ(&H)"))),
      mnuContents(mnuHelp, QStringLiteral("目次(&C)")),
      mnuReference(mnuHelp, QStringLiteral("検索(&R)"), QKeySequence(Qt::Key_F2)),
      mnuBar3(mnuHelp, QStringLiteral("-")),
      mnuVersion(mnuHelp, QStringLiteral("バージョン情報(&V)")) {
    setCaption(QStringLiteral("Zelvia"));
    window()->setWindowIcon(QIcon(QStringLiteral(":/icons/zelvia.png")));
    layOut();
    // Check marks as the menus are designed: of the View items only the normal files.
    mnuArchive.setChecked(rt::False);
    mnuHidden.setChecked(rt::False);
    mnuSystem.setChecked(rt::False);
    mnuNormal.setChecked(rt::True);
    mnuReadOnly.setChecked(rt::False);
    mnuShortPath.setChecked(rt::False);
    connectEvents();
}

frmMain::~frmMain() = default;

void frmMain::layOut() {
    setClientSize(7884, 4152);
    fraFile.place(0, 0, 7815, 1455);
    lblLine.place(120, 240, 6615, 255);
    lblFileName.place(120, 480, 3735, 255);
    lblFileAttribute.place(3840, 480, 3855, 255);
    lblFileSize.place(120, 720, 3735, 255);
    lblLastDay.place(3840, 720, 3855, 255);
    lblHeight.place(120, 1080, 3735, 255);
    lblWidth.place(3840, 1080, 3855, 255);
    picOut.place(0, 1560, 2535, 2535);
    Frame2.place(2640, 1560, 5175, 2535);
    picComb.place(120, 2160, 2412, 276);
    picFil.place(120, 240, 2415, 1872);
    picDir.place(2640, 240, 2415, 1770);
    picDrv.place(2640, 2160, 2415, 300);
    // The work box sits below the inner area and is never shown.
    picTest.place(120, 4440, 1575, 855);
    picTest.widget()->setVisible(false);
    picOut.widget()->setAccessibleName(QStringLiteral("ピクチャ表示"));
    picComb.widget()->setAccessibleName(QStringLiteral("ファイルの種類"));

    // Among the controls that take the focus, Tab goes filter, drive, folder, file.
    QWidget::setTabOrder(picComb.widget(), picDrv.widget());
    QWidget::setTabOrder(picDrv.widget(), picDir.widget());
    QWidget::setTabOrder(picDir.widget(), picFil.widget());
    // The first of them holds the focus when the window first shows; the file list would
    // otherwise take it, and with it a first entry the user never chose.
    picComb.widget()->setFocus(Qt::OtherFocusReason);
}

void frmMain::connectEvents() {
    picDrv.Change.connect([this] { picDrv_Change(); });
    picDir.Change.connect([this] { picDir_Change(); });
    picComb.Click.connect([this] { picComb_Click(); });
    picFil.Click.connect([this] { picFil_Click(); });
    picDir.setDrives(picDrv);

    mnuArchive.Click.connect([this] { mnuArchive_Click(); });
    mnuHidden.Click.connect([this] { mnuHidden_Click(); });
    mnuSystem.Click.connect([this] { mnuSystem_Click(); });
    mnuNormal.Click.connect([this] { mnuNormal_Click(); });
    mnuReadOnly.Click.connect([this] { mnuReadOnly_Click(); });
    mnuShortPath.Click.connect([this] { mnuShortPath_Click(); });
    mnuPrint.Click.connect([this] { mnuPrint_Click(); });
    mnuCopy.Click.connect([this] { mnuCopy_Click(); });
    mnuDelete.Click.connect([this] { mnuDelete_Click(); });
    mnuEnd.Click.connect([this] { mnuEnd_Click(); });
    mnuContents.Click.connect([this] { mnuContents_Click(); });
    mnuReference.Click.connect([this] { mnuReference_Click(); });
    mnuVersion.Click.connect([this] { mnuVersion_Click(); });

    fraFile.MouseUp.connect([this](const rt::MouseArgs& e) { fraFile_MouseUp(e); });
    Frame2.MouseUp.connect([this](const rt::MouseArgs& e) { Frame2_MouseUp(e); });
    lblFileAttribute.MouseUp.connect(
        [this](const rt::MouseArgs& e) { lblFileAttribute_MouseUp(e); });
    lblFileName.MouseUp.connect([this](const rt::MouseArgs& e) { lblFileName_MouseUp(e); });
    lblFileSize.MouseUp.connect([this](const rt::MouseArgs& e) { lblFileSize_MouseUp(e); });
    lblHeight.MouseUp.connect([this](const rt::MouseArgs& e) { lblHeight_MouseUp(e); });
    lblLastDay.MouseUp.connect([this](const rt::MouseArgs& e) { lblLastDay_MouseUp(e); });
    lblLine.MouseUp.connect([this](const rt::MouseArgs& e) { lblLine_MouseUp(e); });
    lblWidth.MouseUp.connect([this](const rt::MouseArgs& e) { lblWidth_MouseUp(e); });
    picDir.MouseUp.connect([this](const rt::MouseArgs& e) { picDir_MouseUp(e); });
    picFil.MouseUp.connect([this](const rt::MouseArgs& e) { picFil_MouseUp(e); });
    picOut.MouseUp.connect([this](const rt::MouseArgs& e) { picOut_MouseUp(e); });
}

} // namespace zelvia
