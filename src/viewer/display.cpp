#include "app/frm_main.h"
#include "app/module1.h"
#include "core/runtime_error.h"
#include "formats/load_picture.h"
#include "lookahead/look_ahead.h"
#include "platform/file_info.h"
#include "platform/screen.h"
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

// The reduction factor for a picture of w × h twips: its larger side (the width when square)
// over the box edge; 0 when it fits the box.
float FitFactor(float w, float h) {
    const float longer = w >= h ? w : h;
    return longer > kBoxEdge ? longer / kBoxEdge : 0.0F;
}

// What PaintReduced passes to PaintPicture for a source box of sw × sh scale units.
rt::PaintArgs ReducedPaintArgs(float sw, float sh, float k) {
    // Whole numbers, halves to the even neighbour.
    const auto round = [](double v) { return static_cast<float>(std::nearbyint(v)); };
    const float w1 = round(static_cast<double>(sw * k));
    const float h1 = round(static_cast<double>(sh * k));
    const float w0 = round(static_cast<double>(sw));
    const float h0 = round(static_cast<double>(sh));
    // The clip is k times the destination, so the whole picture comes out divided by k.
    return {0, 0, w0, h0, 0, 0, w1, h1};
}

// Has the entries around the one just shown decoded ahead, at the size the display box will
// draw them. Pictures that fit the box are cheap to decode and are left alone.
void PrepareNeighbours(frmMain& form) {
    rt::lookahead::LookAhead* lookAhead = rt::lookahead::shared();
    if (lookAhead == nullptr) {
        return;
    }
    const std::int32_t index = form.picFil.ListIndex();
    const std::int32_t count = form.picFil.ListCount();
    const auto entry = [&](std::int32_t i) {
        return i >= 0 && i < count ? Module1::FolderPath + form.picFil.List(i) : QString();
    };
    rt::lookahead::Placement placement;
    placement.twipsPerPixelX = rt::Screen::TwipsPerPixelX();
    placement.twipsPerPixelY = rt::Screen::TwipsPerPixelY();
    placement.pixelRatio = form.picOut.pixelRatio();
    // The hidden box measures in twips, so its scale size is the natural size.
    placement.target = [mode = form.picOut.scaleMode(), tx = placement.twipsPerPixelX,
                        ty = placement.twipsPerPixelY](QSizeF twips) {
        const auto w = static_cast<float>(twips.width());
        const auto h = static_cast<float>(twips.height());
        const float k = FitFactor(w, h);
        if (k == 0.0F) {
            return QRectF();
        }
        return rt::PictureBox::paintTarget(mode, twips, tx, ty, ReducedPaintArgs(w, h, k));
    };
    try {
        lookAhead->prepareAround(index, entry, placement);
    } catch (const std::exception&) {
        // Only speed is lost: the neighbours are decoded when chosen.
    }
}
} // namespace

void frmMain::picFil_Click() {
    try {
        ClearFileInfo();
        WritePathLine();

        Module1::FolderPath = Module1::FolderPathOf(picFil.Path());
        const QString selected = Module1::FolderPath + picFil.FileName();

        lblFileSize.setCaption(panel::FileSizeCaption(rt::FileLen(selected)));
        lblFileAttribute.setCaption(panel::AttributeCaption(rt::GetAttr(selected)));

        picTest.setPicture(rt::LoadPicture(selected, rt::lookahead::shared()));

        lblWidth.setCaption(panel::kWidthPrefix +
                            panel::PixelText(picTest.Width(), rt::Screen::TwipsPerPixelX()));
        lblHeight.setCaption(panel::kHeightPrefix +
                             panel::PixelText(picTest.Height(), rt::Screen::TwipsPerPixelY()));

        const auto w = static_cast<float>(picTest.Width());
        const auto h = static_cast<float>(picTest.Height());
        if (const float k = FitFactor(w, h); k != 0.0F) {
            PicSize = k;
            ShowReducedPicture();
        } else {
            picOut.setPicture(picTest.Picture());
        }

        lblFileName.setCaption(panel::kNamePrefix + picFil.FileName());
        lblLastDay.setCaption(panel::kDatePrefix + panel::DateText(rt::FileDateTime(selected)));
        PrepareNeighbours(*this);
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
    const rt::PaintArgs a = ReducedPaintArgs(static_cast<float>(src.ScaleWidth()),
                                             static_cast<float>(src.ScaleHeight()), k);
    dst.PaintPicture(src.Picture(), a.x1, a.y1, a.width1, a.height1, a.x2, a.y2, a.width2,
                     a.height2);
}

} // namespace zelvia::Module1
