#pragma once

#include "app/frm_main.h"
#include "platform/fs/drives.h"
#include "support/scripted_host.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace zelvia::test {

// Drives of a test's own.
class FakeDriveSource final : public rt::DriveSource {
public:
    std::vector<rt::Drive> list;
    [[nodiscard]] std::vector<rt::Drive> drives() const override { return list; }
    void set(std::vector<rt::Drive> drives) {
        list = std::move(drives);
        emit changed();
    }
};

// The program's window in a fresh temporary folder (the current directory, on a drive of the
// session's own) with a scripted host. A test owns one through AppTest; a suite that chooses many
// files in one window may own one for all its cases.
class AppSession {
public:
    AppSession();
    ~AppSession();
    AppSession(const AppSession&) = delete;
    AppSession& operator=(const AppSession&) = delete;

    // Runs the start-up procedure; the form is then MainForm().
    void start();
    // Unloads the window and puts the host and the current directory back; also done on
    // destruction.
    void end();

    // Selects the named entry of the file list as a user does (raises Click).
    void choose(const QString& fileName);
    // Messages shown so far, as "title|text".
    [[nodiscard]] QStringList messages() const;

    rt::ScriptedHost host;
    FakeDriveSource drives;
    QTemporaryDir root;

private:
    QByteArray oldCwd_;
    bool ended_ = false;
};

// A test with the window of its own session.
class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void start() { session_.start(); }
    frmMain& form() { return *MainForm(); }

    // Writes a file below the temporary folder; returns its path.
    QString writeFile(const QString& relativePath, const QByteArray& bytes);
    QString saveImage(const QString& relativePath, const QImage& image, const char* format,
                      int quality = -1);
    [[nodiscard]] QString rootPath() const { return session_.root.path(); }

    void choose(const QString& fileName) { session_.choose(fileName); }
    [[nodiscard]] QStringList messages() const { return session_.messages(); }
    // Success when no message was shown; otherwise a failure that lists them.
    [[nodiscard]] ::testing::AssertionResult noMessages() const;

private:
    AppSession session_;

protected:
    rt::ScriptedHost& host_ = session_.host;
    FakeDriveSource& drives_ = session_.drives;
};

// The bytes of the file at `path`; a failure of the test, and no bytes, when it cannot be read.
QByteArray readFile(const QString& path);

// A solid picture of the given size, with a distinct marker pixel colour in its corners.
QImage testImage(int width, int height, QColor fill = QColor(200, 30, 30));

// The bounding box of the pixels that differ from `background`.
QRect extentOf(const QImage& image, QColor background);

} // namespace zelvia::test
