#include "commands_fixture.h"

#include "support/metafile_writers.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>

namespace zelvia::test {

void PrintTo(const GuardCase& c, std::ostream* os) {
    *os << c.name;
}

void CommandsTest::startBefore(Before before, const QString& failing, const QByteArray& bytes) {
    saveImage(QStringLiteral("a.bmp"), testImage(20, 10), "bmp");
    writeFile(failing, bytes);
    writeFile(QStringLiteral("sub/b.bmp"), "x");
    start();
    frmMain& f = form();
    switch (before) {
    case Before::Start:
        break;
    case Before::FolderChange:
        choose(QStringLiteral("a.bmp"));
        f.picDir.setPath(rootPath() + QStringLiteral("/sub"));
        break;
    case Before::FailedDisplay:
        choose(QStringLiteral("a.bmp"));
        choose(failing);
        break;
    }
    host_.clear();
}

QImage CommandsTest::clipboardImage() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr || !data->hasImage()) {
        return {};
    }
    return qvariant_cast<QImage>(data->imageData());
}

QStringList CommandsTest::clipboardFormats() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data == nullptr ? QStringList() : data->formats();
}

void CommandsTest::putTextOnClipboard(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
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

QImage halfTransparentIcon() {
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.fillRect(16, 0, 16, 32, QColor(0, 0, 255));
    p.end();
    return icon;
}

bool haveTool(const QString& program) {
    return !QStandardPaths::findExecutable(program).isEmpty();
}

std::optional<QByteArray> runTool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

} // namespace zelvia::test
