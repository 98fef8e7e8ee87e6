#include "commands_fixture.h"

#include "support/metafile_writers.h"

namespace zelvia::test {

std::vector<GuardCase> guardCases(const char16_t* notDisplayed) {
    return {{"AfterStart", Before::Start, u"ファイルを指定していません。"},
            {"AfterFolderChange", Before::FolderChange, u"ファイルを指定していません。"},
            {"AfterFailedDisplay", Before::FailedDisplay, notDisplayed}};
}

void CommandsTest::startBefore(Before before, const QString& failing, const QByteArray& bytes) {
    saveImage(QStringLiteral("a.bmp"), testImage(20, 10), "bmp");
    writeFile(failing, bytes);
    writeFile(QStringLiteral("sub/b.bmp"), "x");
    start();
    switch (before) {
    case Before::Start:
        break;
    case Before::FolderChange:
        choose(QStringLiteral("a.bmp"));
        form().picDir.setPath(rootPath() + QStringLiteral("/sub"));
        break;
    case Before::FailedDisplay:
        choose(QStringLiteral("a.bmp"));
        choose(failing);
        break;
    }
    host_.clear();
}

QByteArray redWmf() {
    WmfWriter w;
    w.windowOrg(0, 0).windowExt(1440, 720);
    w.solidBrush(0x0000FF).select(0);
    w.pen(5, 0, 0).select(1); // no outline
    w.rectangle(0, 0, 1440, 720);
    return w.placeable(QRect(0, 0, 1440, 720), 1440, 2);
}

QByteArray redEmf() {
    EmfWriter w;
    w.mapMode(1);
    w.solidBrush(1, 0x0000FF).select(1);
    w.pen(2, 5, 0, 0).select(2);
    w.rectangle(0, 0, 192, 96);
    return w.finish(QRect(0, 0, 191, 95), QRect(QPoint(0, 0), QPoint(5080, 2540)),
                    QSize(1920, 1080), QSize(508, 286));
}

} // namespace zelvia::test
