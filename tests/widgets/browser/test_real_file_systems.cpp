// A FAT image mounted through a loop device: listing and attribute texts from the real driver.
// Skips where mkfs.vfat or mattrib are missing or mounting is refused.
#include "platform/fs/file_attributes.h"
#include "platform/fs/folder_listing.h"
#include "viewer/panel_text.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/mount.h>

using namespace zelvia;

namespace {

bool run(const QString& program, const QStringList& args, QString* output = nullptr) {
    QProcess p;
    p.start(program, args);
    const bool ok =
        p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (output != nullptr) {
        *output = QString::fromLocal8Bit(p.readAllStandardError() + p.readAllStandardOutput());
    }
    return ok;
}

// The image mounted at `at`, unmounted (and its loop device released) whatever happens.
class LoopMount {
public:
    LoopMount(const QString& image, const QString& at) : at_(at) {
        mounted_ = run(QStringLiteral("mount"),
                       {QStringLiteral("-t"), QStringLiteral("vfat"), QStringLiteral("-o"),
                        QStringLiteral("loop"), image, at},
                       &why_);
    }
    ~LoopMount() {
        if (mounted_) {
            ::umount2(QFile::encodeName(at_).constData(), 0);
        }
    }
    LoopMount(const LoopMount&) = delete;
    LoopMount& operator=(const LoopMount&) = delete;
    [[nodiscard]] bool mounted() const { return mounted_; }
    [[nodiscard]] const QString& why() const { return why_; }

private:
    QString at_;
    QString why_;
    bool mounted_ = false;
};

} // namespace

TEST(RealFileSystems, AVfatImageListsAndDescribesItsDosAttributes) {
    const QString mkfs = QStandardPaths::findExecutable(QStringLiteral("mkfs.vfat"),
                                                        {"/usr/sbin", "/sbin", "/usr/bin"});
    const QString mattrib = QStandardPaths::findExecutable(QStringLiteral("mattrib"));
    const QString mcopy = QStandardPaths::findExecutable(QStringLiteral("mcopy"));
    if (mkfs.isEmpty() || mattrib.isEmpty() || mcopy.isEmpty()) {
        GTEST_SKIP() << "mkfs.vfat or mtools missing (scripts/install-deps.sh --test)";
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString image = dir.filePath(QStringLiteral("fat.img"));
    const QString plain = dir.filePath(QStringLiteral("x"));
    {
        QFile f(image);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.resize(8 * 1024 * 1024));
        QFile p(plain);
        ASSERT_TRUE(p.open(QIODevice::WriteOnly) && p.write("x") == 1);
    }
    QString out;
    ASSERT_TRUE(run(mkfs, {QStringLiteral("-n"), QStringLiteral("ZTEST"), image}, &out))
        << out.toStdString();
    // Four files: plain (archive cleared), archive, hidden, system.
    for (const char* name : {"PLAIN.BMP", "ARCH.BMP", "HIDDEN.BMP", "SYSTEM.BMP"}) {
        ASSERT_TRUE(run(
            mcopy, {QStringLiteral("-i"), image, plain, QStringLiteral("::") + QLatin1String(name)},
            &out))
            << out.toStdString();
    }
    const auto attrib = [&](const char* change, const char* name) {
        ASSERT_TRUE(run(mattrib,
                        {QStringLiteral("-i"), image, QLatin1String(change),
                         QStringLiteral("::") + QLatin1String(name)},
                        &out))
            << out.toStdString();
    };
    attrib("-a", "PLAIN.BMP");
    attrib("+a", "ARCH.BMP");
    attrib("+h", "HIDDEN.BMP");
    attrib("+s", "SYSTEM.BMP");
    const QString at = dir.filePath(QStringLiteral("mnt"));
    ASSERT_TRUE(QDir().mkpath(at));
    const LoopMount mount(image, at);
    if (!mount.mounted()) {
        GTEST_SKIP() << "mounting a vfat loop image was refused: " << mount.why().toStdString();
    }
    std::vector<QString> names;
    for (const QString& name : rt::listFiles(at, QStringLiteral("*.*"), {})) {
        names.push_back(name.toUpper());
    }
    EXPECT_EQ(names,
              (std::vector<QString>{QStringLiteral("ARCH.BMP"), QStringLiteral("PLAIN.BMP")}));
    rt::ListFlags all{true, true, true, true, true};
    EXPECT_EQ(rt::listFiles(at, QStringLiteral("*.*"), all).size(), 4u);
    const auto text = [&](const char* name) {
        return panel::AttributeCaption(
            rt::fileAttributes(at + QLatin1Char('/') + QLatin1String(name)));
    };
    EXPECT_NE(text("ARCH.BMP"), text("PLAIN.BMP"));
    EXPECT_NE(text("HIDDEN.BMP"), text("PLAIN.BMP"));
    EXPECT_NE(text("SYSTEM.BMP"), text("HIDDEN.BMP"));
    EXPECT_EQ(rt::fileAttributes(at + QStringLiteral("/HIDDEN.BMP")) & rt::attr::Hidden,
              rt::attr::Hidden);
    EXPECT_EQ(rt::fileAttributes(at + QStringLiteral("/SYSTEM.BMP")) & rt::attr::System,
              rt::attr::System);
    EXPECT_EQ(rt::fileAttributes(at + QStringLiteral("/ARCH.BMP")) & rt::attr::Archive,
              rt::attr::Archive);
    EXPECT_EQ(rt::fileAttributes(at + QStringLiteral("/PLAIN.BMP")) & rt::attr::Archive, 0u);
}
