// Every file of the shared corpus chosen in the real window, one case each, with the outcome its
// manifest entry calls for: a sound picture is shown, one the program knowingly refuses is not,
// a sound executable with icons shows its icon, and no file fails to open, crashes, hangs or
// draws beyond the picture's area.
#include "core/runtime_error.h"
#include "formats/load_picture.h"
#include "support/app_fixture.h"
#include "support/corpus.h"

#include <QFileInfo>
#include <QPalette>
#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>

using namespace zelvia;
using zelvia::test::CorpusEntry;
using zelvia::test::extentOf;

namespace {

const QString kNotDisplayable = QStringLiteral("横(ﾋﾟｸｾﾙ)：表示出来ません");

// What the user sees: the picture, the message of a picture too large, or the not-displayable
// labels of a file that is no picture (perhaps with its icon) or that could not be opened.
enum class Outcome { Shown, TooLargeMessage, NotAPicture, NotOpened };

const char* nameOf(Outcome o) {
    constexpr std::array<const char*, 4> kNames = {"shown", "too-large message", "not a picture",
                                                   "not opened"};
    return kNames.at(static_cast<std::size_t>(o));
}

// Why the loader refused the file: "not a picture" and "not opened" leave the same labels.
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

std::vector<CorpusEntry> entries() {
    std::vector<CorpusEntry> all = test::corpusEntries(QString());
    if (all.empty()) {
        all.push_back({}); // one case, which skips
    }
    return all;
}

// One window for the whole corpus: choosing 400 files in it is what a user does, and starting a
// window for each would take longer than choosing them. A case that fails leaves the next ones
// a window in a sound state: each chooses its own folder and file.
class CorpusFile : public ::testing::TestWithParam<CorpusEntry> {
protected:
    static void SetUpTestSuite() {
        if (!test::corpusDir()) {
            return;
        }
        for (const CorpusEntry& e : test::corpusEntries(QString())) {
            ++filesIn_[QFileInfo(e.path).path()];
        }
        session_ = std::make_unique<test::AppSession>();
        session_->start();
        MainForm()->mnuReadOnly_Click(); // the corpus is read-only; list those files too
    }
    static void TearDownTestSuite() { session_.reset(); }

    // Chooses the file in its folder and says what the window made of it.
    static Outcome choose(const CorpusEntry& e, bool* iconDrawn) {
        frmMain& f = *MainForm();
        const QFileInfo info(e.path);
        if (f.picDir.Path() != info.path()) {
            f.picDir.setPath(info.path());
            EXPECT_EQ(f.picFil.ListCount(), filesIn_[info.path()]) << "files listed in the folder";
        }
        const qsizetype messagesBefore = session_->messages().size();
        session_->choose(info.fileName());
        EXPECT_EQ(f.lblFileName.Caption(), QStringLiteral("ファイル名：") + info.fileName());
        const QColor background = f.picOut.widget()->palette().color(QPalette::Base);
        const QRect extent = extentOf(f.picOut.image(), background);
        *iconDrawn = false;
        if (session_->messages().size() > messagesBefore) {
            EXPECT_EQ(session_->messages().size(), messagesBefore + 1);
            EXPECT_NE(f.lblWidth.Caption(), kNotDisplayable);
            return Outcome::TooLargeMessage;
        }
        if (f.lblWidth.Caption() != kNotDisplayable) {
            EXPECT_TRUE(f.picTest.Picture());
            // Nothing is drawn beyond the picture's own area, reduced or not.
            const double w = f.picTest.Width() / 15.0;
            const double h = f.picTest.Height() / 15.0;
            const double k = std::max({w, h, 169.0}) / 169.0;
            const QRectF area(0, 0, std::ceil(w / k) + 1, std::ceil(h / k) + 1);
            EXPECT_TRUE(!extent.isValid() || area.contains(QRectF(extent)))
                << "drawn " << extent.width() << "x" << extent.height() << " in " << area.width()
                << "x" << area.height();
            return Outcome::Shown;
        }
        EXPECT_EQ(f.lblHeight.Caption(), QStringLiteral("縦(ﾋﾟｸｾﾙ)：表示出来ません"));
        const int error = loadError(e.path);
        EXPECT_NE(error, rt::err::TooLarge) << "a picture too large must bring its message";
        // Either the loader refused it, or it loaded and its drawing failed as damaged data.
        const Outcome outcome = error == 0 || error == rt::err::InvalidPicture
                                    ? Outcome::NotAPicture
                                    : Outcome::NotOpened;
        *iconDrawn = extent.isValid();
        EXPECT_TRUE(!*iconDrawn ||
                    (outcome == Outcome::NotAPicture && namedAsExecutable(info.fileName())))
            << "only executables and libraries get an icon";
        return outcome;
    }

    static std::unique_ptr<test::AppSession> session_;
    static std::map<QString, int> filesIn_; // manifest entries by folder
};

std::unique_ptr<test::AppSession> CorpusFile::session_;
std::map<QString, int> CorpusFile::filesIn_;

TEST_P(CorpusFile, ShowsWhatItsManifestEntryCallsFor) {
    ZELVIA_REQUIRE_CORPUS(corpus);
    const CorpusEntry& e = GetParam();
    bool icon = false;
    const Outcome outcome = choose(e, &icon);
    EXPECT_NE(outcome, Outcome::NotOpened) << "every corpus file can be opened";
    const bool valid = e.expect == QLatin1String("valid");
    if (e.relPath.startsWith(QLatin1String("pe/"))) {
        EXPECT_TRUE(icon || !valid || !e.notes.contains(QLatin1String("RT_ICON x")))
            << "a sound executable with icons shows one";
    } else if (valid) {
        const auto refusal = test::knownRefusals().find(e.relPath);
        const bool refused = refusal != test::knownRefusals().end();
        EXPECT_EQ(outcome == Outcome::Shown, !refused)
            << nameOf(outcome)
            << (refused ? "; known refusal: " + refusal->second.toStdString() : std::string());
    }
}

} // namespace

INSTANTIATE_TEST_SUITE_P(, CorpusFile, testing::ValuesIn(entries()), [](const auto& param) {
    return param.param.relPath.isEmpty() ? std::string("corpus")
                                         : test::caseNameOf(param.param.relPath);
});
