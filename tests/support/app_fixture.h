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

// Starts the program's window in a fresh temporary folder (the current directory, on a drive
// of the test's own) with a scripted host, and unloads it afterwards.
class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the start-up procedure; the form is then MainForm().
    void start();
    frmMain& form() { return *MainForm(); }

    // Writes a file below the temporary folder; returns its path.
    QString writeFile(const QString& relativePath, const QByteArray& bytes);
    QString saveImage(const QString& relativePath, const QImage& image, const char* format,
                      int quality = -1);
    [[nodiscard]] QString rootPath() const { return root_.path(); }

    // Selects the named entry of the file list as a user does (raises Click).
    void choose(const QString& fileName);

    // Messages shown so far, as "title|text".
    [[nodiscard]] QStringList messages() const;

    rt::ScriptedHost host_;
    FakeDriveSource drives_;

private:
    QTemporaryDir root_;
    QByteArray oldCwd_;
};

// A solid picture of the given size, with a distinct marker pixel colour in its corners.
QImage testImage(int width, int height, QColor fill = QColor(200, 30, 30));

// The bounding box of the pixels that differ from `background`.
QRect extentOf(const QImage& image, QColor background);

} // namespace zelvia::test
