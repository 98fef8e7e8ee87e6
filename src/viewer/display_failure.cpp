#include "app/frm_main.h"
#include "app/module1.h"
#include "core/basic_types.h"
#include "core/runtime_error.h"
#include "formats/peicon/pe_icon.h"
#include "forms/app_object.h"
#include "platform/file_info.h"
#include "platform/screen.h"
#include "viewer/panel_text.h"

namespace zelvia {

namespace {

// Executables and libraries are recognised by the last three characters of the name alone.
bool mayHoldIcon(const QString& fileName) {
    const QString tail = fileName.right(3).toUpper();
    return tail == QLatin1String("EXE") || tail == QLatin1String("DLL");
}

} // namespace

void frmMain::ShowFailure(int errorNumber) {
    const QString selected = Module1::FolderPath + picFil.FileName();
    const auto writeNameAndDate = [&] {
        lblFileName.setCaption(panel::kNamePrefix + picFil.FileName());
        try {
            lblLastDay.setCaption(panel::kDatePrefix + panel::DateText(rt::FileDateTime(selected)));
        } catch (const rt::RuntimeError&) {
            // The file vanished too: the date keeps its bare prefix.
        }
    };

    if (errorNumber == rt::err::TooLarge) {
        rt::MsgBox(QStringLiteral("ピクチャが大きすぎて、表示できません。"), rt::style::Critical);
        writeNameAndDate();
        lblWidth.setCaption(
            panel::kWidthPrefix +
            panel::PixelTextUntruncated(picTest.Width(), rt::Screen::TwipsPerPixelX()));
        lblHeight.setCaption(
            panel::kHeightPrefix +
            panel::PixelTextUntruncated(picTest.Height(), rt::Screen::TwipsPerPixelY()));
        return;
    }
    if (errorNumber == rt::err::InvalidPicture && mayHoldIcon(picFil.FileName())) {
        DrawFileIcon();
    }
    writeNameAndDate();
    lblWidth.setCaption(panel::kWidthPrefix + panel::kNotDisplayable);
    lblHeight.setCaption(panel::kHeightPrefix + panel::kNotDisplayable);
}

void frmMain::DrawFileIcon() {
    const QString path = Module1::FolderPath + picFil.FileName();
    // The large icon of the first icon group, at its own size, into the box's persistent image.
    const QImage large = rt::extractLargeIconFromFile(path);
    picOut.drawImage(large, 0, 0);
}

} // namespace zelvia
