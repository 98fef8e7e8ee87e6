#include "app_fixture.h"

#include "app/module1.h"
#include "core/native_path.h"
#include "forms/app_object.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <climits>
#include <unistd.h>
#include <utility>

namespace zelvia::test {

AppSession::AppSession() {
    char buffer[PATH_MAX];
    oldCwd_ = ::getcwd(buffer, sizeof buffer) != nullptr ? QByteArray(buffer) : QByteArray("/");
    if (!root.isValid() || ::chdir(QFile::encodeName(root.path()).constData()) != 0) {
        ADD_FAILURE() << "cannot make and enter a temporary folder";
    }
    drives.list = {
        {QStringLiteral("/"), QString(), QStringLiteral("ext4"), QStringLiteral("/dev/root")},
        {root.path(), QStringLiteral("TEST"), QStringLiteral("ext4"), QStringLiteral("/dev/test")}};
    rt::setHost(&host);
}

AppSession::~AppSession() {
    end();
}

void AppSession::start() {
    Module1::Main(drives);
}

void AppSession::end() {
    if (std::exchange(ended_, true)) {
        return;
    }
    Module1::Unload();
    rt::setHost(nullptr);
    (void)::chdir(oldCwd_.constData());
}

void AppTest::SetUp() {
    ASSERT_TRUE(session_.root.isValid());
}

void AppTest::TearDown() {
    session_.end();
}

QString AppTest::writeFile(const QString& relativePath, const QByteArray& bytes) {
    const QString path = session_.root.path() + QLatin1Char('/') + relativePath;
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        ADD_FAILURE() << "cannot write " << path.toStdString();
    }
    return path;
}

QString AppTest::saveImage(const QString& relativePath, const QImage& image, const char* format,
                           int quality) {
    const QString path = session_.root.path() + QLatin1Char('/') + relativePath;
    QDir().mkpath(QFileInfo(path).path());
    if (!image.save(path, format, quality)) {
        ADD_FAILURE() << "cannot save " << path.toStdString();
    }
    return path;
}

void AppSession::choose(const QString& fileName) {
    frmMain& f = *MainForm();
    for (int i = 0; i < f.picFil.ListCount(); ++i) {
        if (f.picFil.List(i) == fileName) {
            f.picFil.setListIndex(i);
            return;
        }
    }
    ADD_FAILURE() << "not in the file list: " << fileName.toStdString();
}

QStringList AppSession::messages() const {
    QStringList out;
    for (const auto& c : host.callsOf(QStringLiteral("msgbox"))) {
        out << c.args.value(1) + QLatin1Char('|') + c.args.value(0);
    }
    return out;
}

::testing::AssertionResult AppTest::noMessages() const {
    const QStringList shown = messages();
    if (shown.isEmpty()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << shown.join(QLatin1Char('\n')).toStdString();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    return f.readAll();
}

QImage testImage(int width, int height, QColor fill) {
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(fill);
    return img;
}

QRect extentOf(const QImage& image, QColor background) {
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    const QRgb bg = background.rgb();
    int left = img.width();
    int top = img.height();
    int right = -1;
    int bottom = -1;
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if ((line[x] & 0xFFFFFFu) != (bg & 0xFFFFFFu)) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace zelvia::test
