// Delete: to the trash after a confirmation that names the file, the guard, and failures that
// lose nothing.
#include "app/module1.h"
#include "commands_fixture.h"
#include "core/native_path.h"
#include "platform/qt_host.h"
#include "platform/toolkit_texts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>

namespace zelvia::test {
namespace {

class DeleteTest : public CommandsTest {
protected:
    void SetUp() override {
        CommandsTest::SetUp();
        oldDataHome_ = qgetenv("XDG_DATA_HOME");
        hadDataHome_ = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        useDataHome(rootPath() + QStringLiteral("/data"));
        QDir().mkpath(dataHome_);
    }
    void TearDown() override {
        if (hadDataHome_) {
            qputenv("XDG_DATA_HOME", oldDataHome_);
        } else {
            qunsetenv("XDG_DATA_HOME");
        }
        CommandsTest::TearDown();
    }
    void useDataHome(const QString& path) {
        dataHome_ = path;
        qputenv("XDG_DATA_HOME", QFile::encodeName(path));
    }
    [[nodiscard]] QString trash() const { return dataHome_ + QStringLiteral("/Trash"); }
    [[nodiscard]] QStringList trashed() const {
        return QDir(trash() + QStringLiteral("/files")).entryList(QDir::Files | QDir::Hidden);
    }
    [[nodiscard]] QStringList listed() {
        QStringList out;
        for (int i = 0; i < form().picFil.ListCount(); ++i) {
            out << form().picFil.List(i);
        }
        return out;
    }
    QString dataHome_;

private:
    QByteArray oldDataHome_;
    bool hadDataHome_ = false;
};

struct TrashCase : Named<TrashCase> {
    bool dataHomeExists;
};

class DeleteToTrashTest : public DeleteTest, public ::testing::WithParamInterface<TrashCase> {};

TEST_P(DeleteToTrashTest, FileAndItsInfoLandInTheTrashAndThePanelKeepsShowingIt) {
    if (!GetParam().dataHomeExists) {
        useDataHome(rootPath() + QStringLiteral("/not yet/data"));
    }
    const QString name = QStringLiteral("写真 1%.bmp");
    const QString path = saveImage(name, testImage(30, 20), "bmp");
    saveImage(QStringLiteral("other.bmp"), testImage(5, 5), "bmp");
    start();
    choose(name);
    frmMain& f = form();
    const QString nameCaption = f.lblFileName.Caption();
    const QImage shown = f.picOut.image();
    host_.clear();
    f.mnuDelete_Click();

    const auto asked = host_.callsOf(QStringLiteral("confirmDelete"));
    ASSERT_EQ(asked.size(), 1U);
    EXPECT_EQ(asked[0].args.value(0), path) << "the confirmation names the file";
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_TRUE(host_.callsOf(QStringLiteral("deleteFailed")).empty());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(trashed(), QStringList{name});
    const QByteArray infoText =
        readFile(trash() + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo"));
    EXPECT_TRUE(infoText.startsWith("[Trash Info]\n"));
    EXPECT_TRUE(
        infoText.contains("\nPath=" + QFile::encodeName(path).toPercentEncoding("/") + "\n"))
        << infoText.constData();
    EXPECT_TRUE(infoText.contains("%E5%86%99%E7%9C%9F%201%25.bmp")) << infoText.constData();
    EXPECT_TRUE(infoText.contains("\nDeletionDate="));

    // The list is re-read; the panel and the display still describe the deleted file.
    EXPECT_EQ(listed(), QStringList{QStringLiteral("other.bmp")});
    EXPECT_EQ(f.lblFileName.Caption(), nameCaption);
    EXPECT_EQ(f.lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：30"));
    EXPECT_EQ(f.picOut.image(), shown);
}

INSTANTIATE_TEST_SUITE_P(DataHome, DeleteToTrashTest,
                         ::testing::Values(TrashCase{"Existing", true},
                                           TrashCase{"NotYetCreated", false}),
                         rowName);

TEST_F(DeleteTest, DecliningKeepsTheFileWithoutAMessageAndRereadsTheList) {
    const QString path = saveImage(QStringLiteral("keep.bmp"), testImage(4, 4), "bmp");
    start();
    choose(QStringLiteral("keep.bmp"));
    saveImage(QStringLiteral("new.bmp"), testImage(4, 4), "bmp");
    host_.deleteAnswers = {false};
    host_.clear();
    form().mnuDelete_Click();
    EXPECT_EQ(host_.callsOf(QStringLiteral("confirmDelete")).size(), 1U);
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_TRUE(trashed().isEmpty());
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("keep.bmp"), QStringLiteral("new.bmp")}));
}

TEST_F(DeleteTest, AFileThatFailedToDisplayIsOfferedLikeAnyOther) {
    const QString path = writeFile(QStringLiteral("tool.exe"), "MZ no icon");
    start();
    choose(QStringLiteral("tool.exe"));
    ASSERT_EQ(form().lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)：表示出来ません"));
    host_.clear();
    form().mnuDelete_Click();
    EXPECT_EQ(host_.callsOf(QStringLiteral("confirmDelete")).size(), 1U);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(trashed(), QStringList{QStringLiteral("tool.exe")});
}

enum class NoSelection { AfterStart, ListRereadAfterDisplay };

class DeleteWithoutSelectionTest : public DeleteTest,
                                   public ::testing::WithParamInterface<NoSelection> {};

TEST_P(DeleteWithoutSelectionTest, ShowsItsMessageNeverReachesTheTrashAndRereadsTheList) {
    const QString path = saveImage(QStringLiteral("a.bmp"), testImage(4, 4), "bmp");
    start();
    frmMain& f = form();
    if (GetParam() == NoSelection::ListRereadAfterDisplay) {
        choose(QStringLiteral("a.bmp"));
        f.picFil.Refresh(); // no selected entry, while the panel still describes a.bmp
        ASSERT_EQ(f.picFil.FileName(), QString());
        ASSERT_NE(f.lblWidth.Caption(), QStringLiteral("横(ﾋﾟｸｾﾙ)："));
    }
    saveImage(QStringLiteral("b.bmp"), testImage(4, 4), "bmp");
    host_.clear();
    f.mnuDelete_Click();
    expectCriticalMessage(QStringLiteral("エラー|ファイルを指定していません。"));
    EXPECT_TRUE(host_.callsOf(QStringLiteral("confirmDelete")).empty());
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_TRUE(QFileInfo(rootPath()).isDir());
    EXPECT_FALSE(QFileInfo::exists(trash()));
    EXPECT_EQ(listed(), (QStringList{QStringLiteral("a.bmp"), QStringLiteral("b.bmp")}));
}

INSTANTIATE_TEST_SUITE_P(States, DeleteWithoutSelectionTest,
                         ::testing::Values(NoSelection::AfterStart,
                                           NoSelection::ListRereadAfterDisplay));

enum class DeleteFailure { TrashCannotBeCreated, FileVanished };

class DeleteFailureTest : public DeleteTest, public ::testing::WithParamInterface<DeleteFailure> {};

TEST_P(DeleteFailureTest, IsReportedByTheDeleteOperationAndLosesNothing) {
    const QByteArray bytes = "BM not really a bitmap, but a file all the same";
    const QString path = writeFile(QStringLiteral("doc.bmp"), bytes);
    const QString blocker = writeFile(QStringLiteral("blocker"), "a file, not a folder");
    start();
    choose(QStringLiteral("doc.bmp"));
    if (GetParam() == DeleteFailure::TrashCannotBeCreated) {
        // No folder can be made below a plain file, not even by root.
        useDataHome(blocker + QStringLiteral("/data"));
    } else {
        ASSERT_TRUE(QFile::rename(path, rootPath() + QStringLiteral("/moved away")));
    }
    host_.clear();
    form().mnuDelete_Click();
    const auto failed = host_.callsOf(QStringLiteral("deleteFailed"));
    ASSERT_EQ(failed.size(), 1U);
    EXPECT_EQ(failed[0].args.value(0), path);
    EXPECT_FALSE(failed[0].args.value(1).isEmpty()) << "the report says why";
    EXPECT_TRUE(messages().isEmpty()) << "no message of the program's own";
    const QString survivor = GetParam() == DeleteFailure::FileVanished
                                 ? rootPath() + QStringLiteral("/moved away")
                                 : path;
    EXPECT_EQ(readFile(survivor), bytes);
    EXPECT_TRUE(QDir(trash() + QStringLiteral("/files")).isEmpty());
    EXPECT_TRUE(QDir(trash() + QStringLiteral("/info")).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Failures, DeleteFailureTest,
                         ::testing::Values(DeleteFailure::TrashCannotBeCreated,
                                           DeleteFailure::FileVanished));

TEST_F(DeleteTest, ANameAlreadyInTheTrashIsNeverOverwritten) {
    writeFile(QStringLiteral("data/Trash/files/photo.bmp"), "deleted earlier");
    writeFile(QStringLiteral("data/Trash/info/photo.bmp.trashinfo"),
              "[Trash Info]\nPath=/elsewhere/photo.bmp\nDeletionDate=2020-01-01T00:00:00\n");
    const QString path = saveImage(QStringLiteral("photo.bmp"), testImage(3, 3), "bmp");
    start();
    choose(QStringLiteral("photo.bmp"));
    form().mnuDelete_Click();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(readFile(trash() + QStringLiteral("/files/photo.bmp")), "deleted earlier");
    EXPECT_EQ(trashed().size(), 2);
    EXPECT_TRUE(readFile(trash() + QStringLiteral("/info/photo.2.bmp.trashinfo"))
                    .contains("Path=" + QFile::encodeName(path) + "\n"));
}

// The real host's confirmation: a modal box owned by the main window that names the file,
// readably also when the name is no valid UTF-8.
TEST_F(DeleteTest, RealConfirmationIsOwnedByTheMainWindowAndNamesTheFile) {
    const QString name = rt::decodeFileName(QByteArray("bild\xff.bmp"));
    ASSERT_TRUE(rt::installToolkitTexts()) << "Qt's Japanese translations are not installed";
    start();
    rt::QtHost real;
    real.setMainWindow(form().window());
    QWidget* parent = nullptr;
    QString text;
    QString buttons;
    QTimer answerer;
    answerer.setInterval(10);
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        answerer.stop();
        parent = box->parentWidget();
        text = box->text();
        buttons = box->button(QMessageBox::Yes)->text() + QLatin1Char('|') +
                  box->button(QMessageBox::No)->text();
        box->button(QMessageBox::No)->click();
    });
    answerer.start();
    const bool answer = real.confirmDelete(rootPath() + QLatin1Char('/') + name);
    EXPECT_FALSE(answer);
    EXPECT_EQ(parent, static_cast<QWidget*>(form().window()));
    EXPECT_TRUE(text.contains(QStringLiteral("bild\uFFFD.bmp"))) << text.toStdString();
    // The buttons speak the window's language.
    EXPECT_EQ(buttons, QStringLiteral("はい(&Y)|いいえ(&N)"));
}

} // namespace
} // namespace zelvia::test
