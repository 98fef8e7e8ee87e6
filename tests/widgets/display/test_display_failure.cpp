// When a file cannot be displayed: the three branches by error number, and executables' icons.
#include "app/module1.h"
#include "support/app_fixture.h"

#include <QFile>

using namespace zelvia;
using zelvia::test::AppTest;
using zelvia::test::extentOf;
using zelvia::test::testImage;

namespace {

class FailureTest : public AppTest {
protected:
    QColor background() { return form().picOut.widget()->palette().color(QPalette::Base); }
    void expectNotDisplayable(const QString& name) {
        frmMain& f = form();
        EXPECT_EQ(f.lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：表示出来ません"));
        EXPECT_EQ(f.lblHeight.Caption(), QStringLiteral("縦(ﾋﾟｸｾﾙ)：表示出来ません"));
        EXPECT_EQ(f.lblFileName.Caption(), QStringLiteral("ファイル名：") + name);
    }
};

// A GIF whose logical screen is 65535 x 65535 with a one-pixel frame: its pixels at the size
// needed would take 16 GiB.
QByteArray hugeGif() {
    QByteArray gif("GIF89a");
    gif += QByteArray::fromHex("ffffffff"
                               "80"
                               "00"
                               "00"); // screen, global table of 2
    gif += QByteArray::fromHex("000000"
                               "ffffff"); // palette
    gif += QByteArray::fromHex("2c"
                               "00000000"
                               "01000100"
                               "00"); // image 1x1
    gif += QByteArray::fromHex("02"
                               "02"
                               "4c01"
                               "00"); // LZW data
    gif += QByteArray::fromHex("3b");
    return gif;
}

} // namespace

TEST_F(FailureTest, DamagedPictureTakesBranchBWithoutMessageOrIcon) {
    QByteArray bmp = QByteArray("BM") + QByteArray(12, '\0') + QByteArray::fromHex("28000000");
    bmp += QByteArray::fromHex("00000080"
                               "00000080"
                               "0100"
                               "1800"); // absurd size, then ends
    writeFile(QStringLiteral("photo.bmp"), bmp);
    saveImage(QStringLiteral("good.bmp"), testImage(8, 8), "bmp");
    start();
    choose(QStringLiteral("good.bmp"));
    const rt::PicturePtr before = form().picTest.Picture();
    choose(QStringLiteral("photo.bmp"));
    expectNotDisplayable(QStringLiteral("photo.bmp"));
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_FALSE(extentOf(form().picOut.image(), background()).isValid());
    // The size and attribute labels were written before the load failed.
    EXPECT_NE(form().lblFileSize.Caption(), QStringLiteral("ﾌｧｲﾙｻｲｽﾞ："));
    EXPECT_NE(form().lblFileAttribute.Caption(), QStringLiteral("ﾌｧｲﾙ属性："));
    // A failed load leaves the previous picture in the work box.
    EXPECT_EQ(form().picTest.Picture(), before);
}

TEST_F(FailureTest, FileRemovedBetweenListingAndChoosingTakesBranchC) {
    const QString path = saveImage(QStringLiteral("gone.bmp"), testImage(8, 8), "bmp");
    start();
    QFile::remove(path);
    choose(QStringLiteral("gone.bmp"));
    expectNotDisplayable(QStringLiteral("gone.bmp"));
    EXPECT_EQ(form().lblLastDay.Caption(), QStringLiteral("最終更新日："))
        << "the date of a vanished file keeps its bare prefix";
    EXPECT_EQ(form().lblFileSize.Caption(), QStringLiteral("ﾌｧｲﾙｻｲｽﾞ："));
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(FailureTest, TooLargeTakesBranchAAfterItsMessageAndKeepsTheNewPicture) {
    writeFile(QStringLiteral("huge.gif"), hugeGif());
    saveImage(QStringLiteral("small.bmp"), testImage(8, 8), "bmp");
    start();
    choose(QStringLiteral("small.bmp"));
    // The branch's own labels are written only after the message is closed.
    QString nameWhenAsked;
    host_.onCall = [&](const rt::ScriptedHost::Call& c) {
        if (c.kind == QLatin1String("msgbox")) {
            nameWhenAsked = form().lblFileName.Caption();
        }
    };
    choose(QStringLiteral("huge.gif"));
    host_.onCall = nullptr;
    ASSERT_EQ(messages(),
              QStringList{QStringLiteral("Zelvia|ピクチャが大きすぎて、表示できません。")});
    EXPECT_EQ(host_.callsOf(QStringLiteral("msgbox"))[0].number, 16);
    EXPECT_EQ(nameWhenAsked, QStringLiteral("ファイル名："));
    frmMain& f = form();
    EXPECT_EQ(f.lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：65535"));
    EXPECT_EQ(f.lblHeight.Caption(), QStringLiteral("縦(ﾋﾟｸｾﾙ)：65535"));
    EXPECT_EQ(f.lblFileName.Caption(), QStringLiteral("ファイル名：huge.gif"));
    ASSERT_TRUE(f.picTest.Picture());
    EXPECT_EQ(f.picTest.Picture()->pixelSize(), QSize(65535, 65535));
}

TEST_F(FailureTest, OnlyNamesEndingInExeOrDllTryForAnIcon) {
    // Not executables at all: the icon attempt finds nothing and draws nothing, whatever the name.
    for (const char* name : {"setup.exe", "LIB.Dll", "x.dLl", "notexe", "tool.ocx"}) {
        writeFile(QString::fromLatin1(name), "MZ not really");
    }
    start();
    for (const char* name : {"setup.exe", "LIB.Dll", "x.dLl", "notexe", "tool.ocx"}) {
        choose(QString::fromLatin1(name));
        expectNotDisplayable(QString::fromLatin1(name));
        EXPECT_FALSE(extentOf(form().picOut.image(), background()).isValid()) << name;
    }
    EXPECT_TRUE(messages().isEmpty());
}
