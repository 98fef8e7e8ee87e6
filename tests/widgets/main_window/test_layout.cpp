// The main window as laid out: places, sizes, tab order, menus and tooltips at 96 DPI.
#include "platform/screen.h"
#include "support/app_fixture.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>

using namespace zelvia;
using zelvia::test::AppTest;

namespace {

class LayoutTest : public AppTest {};

QRect px(int left, int top, int width, int height) {
    // Twips to pixels at 15 twips per pixel, rounded.
    const auto r = [](int t) { return static_cast<int>(std::lround(t / 15.0)); };
    return {r(left), r(top), r(width), r(height)};
}

} // namespace

TEST_F(LayoutTest, EveryControlSitsAtItsPlaceInPixels) {
    start();
    ASSERT_DOUBLE_EQ(rt::Screen::TwipsPerPixelX(), 15.0);
    ASSERT_DOUBLE_EQ(rt::Screen::TwipsPerPixelY(), 15.0);
    frmMain& f = form();
    const std::vector<std::pair<const rt::Control*, QRect>> expected = {
        {&f.fraFile, px(0, 0, 7815, 1455)},        {&f.lblLine, px(120, 240, 6615, 255)},
        {&f.lblFileName, px(120, 480, 3735, 255)}, {&f.lblFileAttribute, px(3840, 480, 3855, 255)},
        {&f.lblFileSize, px(120, 720, 3735, 255)}, {&f.lblLastDay, px(3840, 720, 3855, 255)},
        {&f.lblHeight, px(120, 1080, 3735, 255)},  {&f.lblWidth, px(3840, 1080, 3855, 255)},
        {&f.picOut, px(0, 1560, 2535, 2535)},      {&f.Frame2, px(2640, 1560, 5175, 2535)},
        {&f.picComb, px(120, 2160, 2412, 276)},    {&f.picFil, px(120, 240, 2415, 1872)},
        {&f.picDir, px(2640, 240, 2415, 1770)},    {&f.picDrv, px(2640, 2160, 2415, 300)},
    };
    for (const auto& [control, rect] : expected) {
        EXPECT_EQ(control->widget()->geometry(), rect)
            << control->widget()->metaObject()->className();
    }
    // Labels inside the information frame, lists inside the browser frame.
    EXPECT_EQ(f.lblWidth.widget()->parentWidget(), f.fraFile.widget());
    EXPECT_EQ(f.picDrv.widget()->parentWidget(), f.Frame2.widget());
    EXPECT_EQ(f.picOut.widget()->parentWidget(), f.client());
    // The display box is square: 169 pixels.
    EXPECT_EQ(f.picOut.widget()->size(), QSize(169, 169));
}

TEST_F(LayoutTest, TheDetailsFrameCarriesItsCaptionOnItsTopBorderAndThePathLineBelowIt) {
    start();
    QWidget* frame = form().fraFile.widget();
    const QImage image = frame->grab().toImage();
    const QColor ground = frame->palette().color(QPalette::Window);
    int border = 0; // the top line, far right of the caption
    while (border < image.height() && image.pixelColor(image.width() - 20, border) == ground) {
        ++border;
    }
    const int line = form().lblLine.widget()->y();
    const int width = frame->fontMetrics().horizontalAdvance(form().fraFile.Caption());
    const QRect caption = zelvia::test::extentOf(image.copy(10, 0, width, line), ground);
    EXPECT_LT(caption.top(), border);
    EXPECT_GT(caption.bottom(), border);
    EXPECT_GT(line, border + 1) << "the path line sits inside the frame";
}

TEST_F(LayoutTest, WindowIsFixedSizeCaptionedAndItsWorkBoxNeverShows) {
    start();
    frmMain& f = form();
    EXPECT_EQ(f.Caption(), QStringLiteral("Zelvia"));
    EXPECT_EQ(f.client()->size(), QSize(526, 277));
    EXPECT_EQ(f.window()->minimumSize(), f.window()->maximumSize());
    EXPECT_EQ(f.window()->height(), 277 + f.window()->menuBar()->height());
    EXPECT_FALSE(f.window()->windowIcon().isNull());
    EXPECT_FALSE(f.picTest.widget()->isVisible());
    EXPECT_DOUBLE_EQ(f.Width(), 7980);
    EXPECT_DOUBLE_EQ(f.Height(), 4830);
}

TEST_F(LayoutTest, TabGoesFromFilterToDriveFolderAndFileList) {
    start();
    frmMain& f = form();
    f.window()->activateWindow();
    f.picComb.widget()->setFocus();
    std::vector<QWidget*> visited;
    QWidget* w = f.picComb.widget();
    for (int i = 0; i < 4; ++i) {
        visited.push_back(w);
        w = w->nextInFocusChain();
        while (w != nullptr && !(w->focusPolicy() & Qt::TabFocus)) {
            w = w->nextInFocusChain();
        }
    }
    ASSERT_EQ(visited.size(), 4U);
    EXPECT_EQ(visited[0], f.picComb.widget());
    EXPECT_EQ(visited[1], f.picDrv.widget());
    EXPECT_EQ(visited[2], f.picDir.widget());
    EXPECT_EQ(visited[3], f.picFil.widget());
    // Labels, frames and the picture boxes never take the focus.
    for (const rt::Control* c : std::initializer_list<const rt::Control*>{
             &f.fraFile, &f.Frame2, &f.lblLine, &f.lblWidth, &f.picOut, &f.picTest}) {
        EXPECT_EQ(c->widget()->focusPolicy(), Qt::NoFocus);
    }
}

TEST_F(LayoutTest, MenusHaveTheirCaptionsShortcutsSeparatorsAndCheckMarks) {
    start();
    frmMain& f = form();
    struct Item {
        QString caption;
        QKeySequence shortcut;
        bool checked;
    };
    const std::vector<std::pair<QString, std::vector<Item>>> expected = {
        {QStringLiteral("ファイル(&F)"),
         {{QStringLiteral("印刷(&P)"), QKeySequence(Qt::Key_F4), false},
          {QStringLiteral("-"), {}, false},
          {QStringLiteral("Zelviaの終了(&E)"), {}, false}}},
        {QStringLiteral("編集(&E)"),
         {{QStringLiteral("コピー(&C)"), QKeySequence(Qt::Key_F3), false},
          {QStringLiteral("削除(&D)"), {}, false}}},
        {QStringLiteral("表示(&A)"),
         {{QStringLiteral("アーカイブファイル(&A)"), {}, false},
          {QStringLiteral("隠しファイル(&H)"), {}, false},
          {QStringLiteral("システムファイル(&S)"), {}, false},
          {QStringLiteral("通常ファイル(&N)"), {}, true},
          {QStringLiteral("読み取り専用ファイル(&R)"), {}, false},
          {QStringLiteral("-"), {}, false},
          {QStringLiteral("短いパス名で表示(&P)"), {}, false}}},
        {QStringLiteral("ヘルプ(&H)"),
         {{QStringLiteral("目次(&C)"), {}, false},
          {QStringLiteral("検索(&R)"), QKeySequence(Qt::Key_F2), false},
          {QStringLiteral("-"), {}, false},
          {QStringLiteral("バージョン情報(&V)"), {}, false}}},
    };
    const QList<QAction*> top = f.menuBar()->actions();
    ASSERT_EQ(top.size(), static_cast<qsizetype>(expected.size()));
    for (size_t m = 0; m < expected.size(); ++m) {
        EXPECT_EQ(top[static_cast<qsizetype>(m)]->text(), expected[m].first);
        const QList<QAction*> items = top[static_cast<qsizetype>(m)]->menu()->actions();
        ASSERT_EQ(items.size(), static_cast<qsizetype>(expected[m].second.size()));
        for (size_t i = 0; i < expected[m].second.size(); ++i) {
            const Item& want = expected[m].second[i];
            const QAction* a = items[static_cast<qsizetype>(i)];
            if (want.caption == QLatin1String("-")) {
                EXPECT_TRUE(a->isSeparator());
                continue;
            }
            EXPECT_EQ(a->text(), want.caption);
            EXPECT_EQ(a->shortcut(), want.shortcut) << want.caption.toStdString();
            EXPECT_EQ(a->isChecked(), want.checked) << want.caption.toStdString();
            EXPECT_TRUE(a->isEnabled());
            EXPECT_TRUE(a->isVisible());
        }
    }
}

TEST_F(LayoutTest, TwelveTooltipsAndNoneElsewhere) {
    start();
    frmMain& f = form();
    EXPECT_EQ(f.picDrv.ToolTipText(),
              QStringLiteral("表示するファイルが格納されているドライブを指定します"));
    EXPECT_EQ(f.picDir.ToolTipText(),
              QStringLiteral("表示するファイルが格納されているフォルダを指定します"));
    EXPECT_EQ(f.picFil.ToolTipText(), QStringLiteral("表示するファイルを指定します"));
    EXPECT_EQ(f.picComb.ToolTipText(), QStringLiteral("表示するファイルの拡張子を指定します"));
    EXPECT_EQ(f.fraFile.ToolTipText(),
              QStringLiteral("指定したファイルのファイル情報を表示します"));
    EXPECT_EQ(f.lblFileAttribute.ToolTipText(),
              QStringLiteral("指定したファイルの属性を表示します"));
    EXPECT_EQ(f.lblFileName.ToolTipText(), QStringLiteral("指定したファイルの名前を表示します"));
    EXPECT_EQ(f.lblFileSize.ToolTipText(), QStringLiteral("指定したファイルの容量を表示します"));
    EXPECT_EQ(f.lblHeight.ToolTipText(),
              QStringLiteral("指定したファイルの高さをピクセル値で表示します"));
    EXPECT_EQ(f.lblLastDay.ToolTipText(),
              QStringLiteral("指定したファイルの作成日または最終更新日を表示します"));
    EXPECT_EQ(f.lblLine.ToolTipText(),
              QStringLiteral("指定したファイルのコマンドラインを表示します"));
    EXPECT_EQ(f.lblWidth.ToolTipText(),
              QStringLiteral("指定したファイルの幅をピクセル値で表示します"));
    EXPECT_TRUE(f.picOut.ToolTipText().isEmpty());
    EXPECT_TRUE(f.Frame2.ToolTipText().isEmpty());
    EXPECT_TRUE(f.picTest.ToolTipText().isEmpty());
}
