#pragma once

namespace zelvia::rt {

// The screen as the forms runtime describes it: twips per pixel from the logical DPI
// (15 at 96 DPI) and the size of the whole screen in twips.
class Screen {
public:
    static double TwipsPerPixelX();
    static double TwipsPerPixelY();
    static double Width();
    static double Height();

    static constexpr double kTwipsPerInch = 1440.0;
};

} // namespace zelvia::rt
