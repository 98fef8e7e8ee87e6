#include "app/frm_main.h"
#include "app/module1.h"
#include "runtime/file_info.h"
#include "runtime/load_picture.h"
#include "runtime/runtime_error.h"
#include "runtime/screen.h"
#include "viewer/panel_text.h"

#include <cmath>
#include <exception>
#include <new>

namespace zelvia {

namespace {
// Edge of the display box in twips: the fit limit.
constexpr float kBoxEdge = 2535.0F;
// The trap catches every failure; those not raised as runtime errors take the branch for
// "anything else" under the numbers the runtime gives them.
constexpr int kOutOfMemory = 7;
constexpr int kUnexpected = 50003;
} // namespace

void frmMain::picFil_Click() {
    try {
        ClearFileInfo();
        WritePathLine();

        const QString folder = picFil.Path();
        Module1::FolderPath =
            folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
        const QString selected = Module1::FolderPath + picFil.FileName();

        lblFileSize.setCaption(panel::FileSizeCaption(rt::FileLen(selected)));
        lblFileAttribute.setCaption(panel::AttributeCaption(rt::GetAttr(selected)));

        picTest.setPicture(rt::LoadPicture(selected));

        lblWidth.setCaption(panel::kWidthPrefix +
                            panel::PixelText(picTest.Width(), rt::Screen::TwipsPerPixelX()));
        lblHeight.setCaption(panel::kHeightPrefix +
                             panel::PixelText(picTest.Height(), rt::Screen::TwipsPerPixelY()));

        const auto w = static_cast<float>(picTest.Width());
        const auto h = static_cast<float>(picTest.Height());
        const float longer = w >= h ? w : h;
        if (longer > kBoxEdge) {
            PicSize = longer / kBoxEdge;
            ShowReducedPicture();
        } else {
            picOut.setPicture(picTest.Picture());
        }

        lblFileName.setCaption(panel::kNamePrefix + picFil.FileName());
        lblLastDay.setCaption(panel::kDatePrefix + panel::DateText(rt::FileDateTime(selected)));
    } catch (const rt::RuntimeError& e) {
        ShowFailure(e.number());
    } catch (const std::bad_alloc&) {
        ShowFailure(kOutOfMemory);
    } catch (const std::exception&) {
        ShowFailure(kUnexpected);
    }
}

void frmMain::ShowReducedPicture() {
    Module1::PaintReduced(picTest, picOut, PicSize);
}

void frmMain::ClearFileInfo() {
    picOut.setPicture(rt::LoadPicture(QString()));
    lblLine.setCaption(panel::kLinePrefix);
    lblFileAttribute.setCaption(panel::kAttributePrefix);
    lblFileName.setCaption(panel::kNamePrefix);
    lblFileSize.setCaption(panel::kSizePrefix);
    lblLastDay.setCaption(panel::kDatePrefix);
    lblWidth.setCaption(panel::kWidthPrefix);
    lblHeight.setCaption(panel::kHeightPrefix);
}

} // namespace zelvia

namespace zelvia::Module1 {

void PaintReduced(rt::PictureBox& src, rt::PictureBox& dst, float& k) {
    // Whole numbers, halves to the even neighbour.
    const auto round = [](double v) { return static_cast<float>(std::nearbyint(v)); };
    const auto sw = static_cast<float>(src.ScaleWidth());
    const auto sh = static_cast<float>(src.ScaleHeight());
    const float w1 = round(static_cast<double>(sw * k));
    const float h1 = round(static_cast<double>(sh * k));
    const float w0 = round(static_cast<double>(sw));
    const float h0 = round(static_cast<double>(sh));
    // The clip is k times the destination, so the whole picture comes out divided by k.
    dst.PaintPicture(src.Picture(), 0, 0, w0, h0, 0, 0, w1, h1);
}

} // namespace zelvia::Module1
