#include "core/native_path.h"
#include "core/runtime_error.h"

#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace zelvia::rt;

TEST(FileNameCodec, RoundTripsValidAndInvalidUtf8) {
    const QList<QByteArray> names = {
        "plain.bmp",     "\xe5\x86\x99\xe7\x9c\x9f.jpg", "bad\xff\xfe.gif",     "\xc0\xaf", "-rf",
        "trail\xe5\x86", "surrogate\xed\xa0\x80",        "four\xf0\x9f\x98\x80"};
    for (const QByteArray& n : names) {
        EXPECT_EQ(encodeFileName(decodeFileName(n)), n) << n.toHex().constData();
    }
    EXPECT_EQ(decodeFileName("\xe5\x86\x99\xe7\x9c\x9f"), QStringLiteral("写真"));
    EXPECT_EQ(displayFileName(decodeFileName("a\xff")), QStringLiteral("a\uFFFD"));
    EXPECT_EQ(displayFileName(decodeFileName("four\xf0\x9f\x98\x80")),
              QString::fromUtf8("four\xf0\x9f\x98\x80"));
}

TEST(ReadOnlyFile, ReportsMissingAndNonRegularFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    try {
        ReadOnlyFile f(dir.filePath(QStringLiteral("missing")));
        FAIL() << "opened a missing file";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::FileNotFound);
    }
    try {
        ReadOnlyFile f(dir.path());
        FAIL() << "opened a folder";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::PathAccess);
    }
}

TEST(ReadOnlyFile, ReadsByOffsetAndRefusesOverLimit) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromUtf8("n\xe5\x86\x99"));
    const QByteArray native = encodeFileName(path);
    const int fd = ::open(native.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "0123456789", 10), 10);
    ::close(fd);
    ReadOnlyFile f(path);
    EXPECT_EQ(f.size(), 10);
    EXPECT_EQ(f.readAt(3, 4), QByteArray("3456"));
    EXPECT_EQ(f.readAt(8, 10), QByteArray("89"));
    EXPECT_EQ(f.readAll(100), QByteArray("0123456789"));
    try {
        (void)f.readAll(5);
        FAIL() << "read past the limit";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::TooLarge);
    }
}
