#include "shell/ControlLayout.h"

#include <QWidget>
#include <cmath>
#include <cstdlib>

int TwipsToPixels(double twips)
{
    return static_cast<int>(std::lround(twips / TwipsPerPixel));
}

int PixelsToTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}

ControlLayout ArrangeControlsLayout(int innerWidth, int innerHeight, int statusBarHeight,
                                    int combo1Height)
{
    ControlLayout layout;
    const int frameHeight = std::abs(innerHeight - statusBarHeight);
    layout.Frame1 = QRect(0, 0, innerWidth, frameHeight);

    // Nearest whole number, halves to the even one (the default rounding mode).
    int comboWidth = static_cast<int>(std::nearbyint(static_cast<double>(innerWidth) - 3000.0));
    if (comboWidth <= 4000)
        comboWidth = 4000;
    layout.Combo1 = QRect(1050, 80, comboWidth, combo1Height);

    // 454, not 450: the picture box keeps a few twips of the frame's edge free.
    layout.PBoxRight = QRect(0, 450, innerWidth, std::abs(frameHeight - 454));
    layout.ListViewFiles = QRect(0, 0, layout.PBoxRight.width(), layout.PBoxRight.height());
    return layout;
}

namespace {

// A quarter of a length, rounded to a whole number with halves to the even neighbour.
int QuarterRoundedToEven(int length)
{
    const int whole = length / 4;
    const int rest = length % 4;
    return rest > 2 || (rest == 2 && whole % 2 != 0) ? whole + 1 : whole;
}

} // namespace

QPoint InputBoxPosition(const QWidget &window)
{
    const QRect outline = window.frameGeometry();
    return {outline.left() + QuarterRoundedToEven(outline.width()),
            outline.top() + QuarterRoundedToEven(outline.height())};
}
