// Every file of the shared corpus chosen in the real window: each one displays or takes one of
// the failure branches, and nothing crashes, hangs or draws beyond the picture's area.
#include "core/runtime_error.h"
#include "formats/load_picture.h"
#include "support/app_fixture.h"
#include "support/corpus.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QPalette>
#include <algorithm>
#include <cmath>
#include <map>

using namespace zelvia;
using zelvia::test::AppTest;
using zelvia::test::CorpusEntry;
using zelvia::test::extentOf;

namespace {

enum class Outcome { Displayed, TooLarge, Invalid, Unreadable };

struct Tally {
    int files = 0;
    int displayed = 0;
    int branchA = 0;
    int branchB = 0;
    int branchC = 0;
    int icons = 0;
};

// Why the loader refused the file, to tell branch B from branch C: both leave the same labels.
int loadError(const QString& path) {
    try {
        (void)rt::LoadPicture(path);
    } catch (const rt::RuntimeError& e) {
        return e.number();
    }
    return 0;
}

bool namedAsExecutable(const QString& name) {
    const QString tail = name.right(3).toUpper();
    return tail == QLatin1String("EXE") || tail == QLatin1String("DLL");
}

class CorpusDisplayTest : public AppTest {
protected:
    QColor background() { return form().picOut.widget()->palette().color(QPalette::Base); }

    // Chooses entry `index` of the file list and says what the window made of it.
    Outcome chooseAndClassify(int index, const QString& path, bool* iconDrawn) {
        frmMain& f = form();
        const qsizetype messagesBefore = messages().size();
        f.picFil.setListIndex(index);
        const QRect extent = extentOf(f.picOut.image(), background());
        *iconDrawn = false;
        if (messages().size() > messagesBefore) {
            EXPECT_EQ(messages().size(), messagesBefore + 1) << path.toStdString();
            EXPECT_NE(f.lblWidth.Caption(), kNotDisplayableWidth) << path.toStdString();
            return Outcome::TooLarge;
        }
        if (f.lblWidth.Caption() != kNotDisplayableWidth) {
            EXPECT_TRUE(f.picTest.Picture()) << path.toStdString();
            // Nothing is drawn beyond the picture's own area, reduced or not.
            const double w = f.picTest.Width() / 15.0;
            const double h = f.picTest.Height() / 15.0;
            const double k = std::max({w, h, 169.0}) / 169.0;
            const QRectF area(0, 0, std::ceil(w / k) + 1, std::ceil(h / k) + 1);
            EXPECT_TRUE(!extent.isValid() || area.contains(QRectF(extent)))
                << path.toStdString() << " drawn " << extent.width() << "x" << extent.height()
                << " in " << area.width() << "x" << area.height();
            return Outcome::Displayed;
        }
        EXPECT_EQ(f.lblHeight.Caption(), QStringLiteral("縦(ﾋﾟｸｾﾙ)：表示出来ません"));
        const int error = loadError(path);
        EXPECT_NE(error, rt::err::TooLarge) << "error 5 must take branch A: " << path.toStdString();
        // Either the loader refused it, or it loaded and its drawing failed as damaged data.
        const Outcome outcome =
            error == 0 || error == rt::err::InvalidPicture ? Outcome::Invalid : Outcome::Unreadable;
        *iconDrawn = extent.isValid();
        EXPECT_TRUE(!*iconDrawn ||
                    (outcome == Outcome::Invalid && namedAsExecutable(QFileInfo(path).fileName())))
            << "only executables and libraries get an icon: " << path.toStdString();
        return outcome;
    }

    const QString kNotDisplayableWidth = QStringLiteral("横(ﾋﾟｸｾﾙ)：表示出来ません");
};

} // namespace

TEST_F(CorpusDisplayTest, EveryFileDisplaysOrTakesABranch) {
    ZELVIA_REQUIRE_CORPUS(corpus);
    const std::vector<CorpusEntry> entries = test::corpusEntries(QString());
    ASSERT_FALSE(entries.empty());
    // Folder (relative) -> its entries by file name.
    std::map<QString, std::map<QString, const CorpusEntry*>> folders;
    for (const CorpusEntry& e : entries) {
        const QFileInfo info(e.relPath);
        folders[info.path()][info.fileName()] = &e;
    }

    start();
    frmMain& f = form();
    f.mnuReadOnly_Click(); // the corpus is read-only; list those files too
    ASSERT_EQ(f.picFil.Pattern(), QStringLiteral("*.*"));

    QElapsedTimer timer;
    timer.start();
    std::map<QString, Tally> tallies; // by top folder
    QStringList validNotShown;
    QStringList tooLarge;
    QStringList withIcon;
    QStringList iconMissing;
    for (const auto& [folder, files] : folders) {
        f.picDir.setPath(corpus + QLatin1Char('/') + folder);
        ASSERT_EQ(f.picFil.ListCount(), static_cast<int>(files.size())) << folder.toStdString();
        Tally& tally = tallies[folder.section(QLatin1Char('/'), 0, 0)];
        for (int i = 0; i < f.picFil.ListCount(); ++i) {
            const auto found = files.find(f.picFil.List(i));
            ASSERT_NE(found, files.end()) << f.picFil.List(i).toStdString();
            const CorpusEntry& entry = *found->second;
            bool icon = false;
            const Outcome outcome = chooseAndClassify(i, entry.path, &icon);
            EXPECT_EQ(f.lblFileName.Caption(), QStringLiteral("ファイル名：") + f.picFil.List(i));
            ++tally.files;
            switch (outcome) {
            case Outcome::Displayed:
                ++tally.displayed;
                break;
            case Outcome::TooLarge:
                ++tally.branchA;
                break;
            case Outcome::Invalid:
                ++tally.branchB;
                break;
            case Outcome::Unreadable:
                ++tally.branchC;
                break;
            }
            tally.icons += icon ? 1 : 0;
            if (outcome == Outcome::TooLarge) {
                tooLarge << entry.relPath;
            }
            if (icon) {
                withIcon << entry.relPath;
            }
            const bool isPe = entry.relPath.startsWith(QLatin1String("pe/"));
            if (!isPe && entry.expect == QLatin1String("valid") && outcome != Outcome::Displayed) {
                validNotShown << entry.relPath;
            }
            // Sound executables with icon resources show their icon.
            if (isPe && entry.expect == QLatin1String("valid") &&
                entry.notes.contains(QLatin1String("RT_ICON x")) && !icon) {
                iconMissing << entry.relPath;
            }
        }
    }
    const qint64 elapsed = timer.elapsed();

    Tally total;
    for (const auto& [top, t] : tallies) {
        std::printf("corpus %-5s files %3d  displayed %3d  A %2d  B %3d  C %2d  icons %2d\n",
                    qPrintable(top), t.files, t.displayed, t.branchA, t.branchB, t.branchC,
                    t.icons);
        total.files += t.files;
        total.displayed += t.displayed;
        total.branchA += t.branchA;
        total.branchB += t.branchB;
        total.branchC += t.branchC;
        total.icons += t.icons;
    }
    std::printf(
        "corpus total files %3d  displayed %3d  A %2d  B %3d  C %2d  icons %2d  (%lld ms)\n",
        total.files, total.displayed, total.branchA, total.branchB, total.branchC, total.icons,
        static_cast<long long>(elapsed));
    for (const QString& path : tooLarge) {
        std::printf("too large (A): %s\n", qPrintable(path));
    }
    for (const QString& path : withIcon) {
        std::printf("icon drawn: %s\n", qPrintable(path));
    }
    for (const QString& path : validNotShown) {
        EXPECT_TRUE(test::knownRefusals().contains(path))
            << "valid but not displayed: " << qPrintable(path);
    }
    for (const auto& [path, reason] : test::knownRefusals()) {
        EXPECT_TRUE(validNotShown.contains(path)) << "listed as refused (" << qPrintable(reason)
                                                  << ") but displayed: " << qPrintable(path);
    }
    EXPECT_EQ(total.files, static_cast<int>(entries.size()));
    EXPECT_EQ(total.branchC, 0) << "every corpus file can be opened";
    EXPECT_TRUE(iconMissing.isEmpty()) << qPrintable(iconMissing.join(QLatin1Char('\n')));
}
