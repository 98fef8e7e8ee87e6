#include "app_fixture.h"

#include "app/module1.h"
#include "core/native_path.h"
#include "forms/app_object.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <climits>
#include <unistd.h>

namespace zelvia::test {

void AppTest::SetUp() {
    ASSERT_TRUE(root_.isValid());
    char buffer[PATH_MAX];
    oldCwd_ = ::getcwd(buffer, sizeof buffer) != nullptr ? QByteArray(buffer) : QByteArray("/");
    ASSERT_EQ(::chdir(QFile::encodeName(root_.path()).constData()), 0);
    drives_.list = {
        {QStringLiteral("/"), QString(), QStringLiteral("ext4"), QStringLiteral("/dev/root")},
        {root_.path(), QStringLiteral("TEST"), QStringLiteral("ext4"),
         QStringLiteral("/dev/test")}};
    rt::setHost(&host_);
}

void AppTest::TearDown() {
    Module1::Unload();
    rt::setHost(nullptr);
    (void)::chdir(oldCwd_.constData());
}

void AppTest::start() {
    Module1::Main(drives_);
}

QString AppTest::writeFile(const QString& relativePath, const QByteArray& bytes) {
    const QString path = root_.path() + QLatin1Char('/') + relativePath;
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        ADD_FAILURE() << "cannot write " << path.toStdString();
    }
    return path;
}

QString AppTest::saveImage(const QString& relativePath, const QImage& image, const char* format,
                           int quality) {
    const QString path = root_.path() + QLatin1Char('/') + relativePath;
    QDir().mkpath(QFileInfo(path).path());
    if (!image.save(path, format, quality)) {
        ADD_FAILURE() << "cannot save " << path.toStdString();
    }
    return path;
}

void AppTest::choose(const QString& fileName) {
    frmMain& f = form();
    for (int i = 0; i < f.picFil.ListCount(); ++i) {
        if (f.picFil.List(i) == fileName) {
            f.picFil.setListIndex(i);
            return;
        }
    }
    ADD_FAILURE() << "not in the file list: " << fileName.toStdString();
}

QStringList AppTest::messages() const {
    QStringList out;
    for (const auto& c : host_.callsOf(QStringLiteral("msgbox"))) {
        out << c.args.value(1) + QLatin1Char('|') + c.args.value(0);
    }
    return out;
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
