#pragma once

#include <QPoint>
#include <QRect>

class QWidget;

// Window geometry is designed in twips; the screen has 15 twips to a pixel.
constexpr int TwipsPerPixel = 15;

int TwipsToPixels(double twips);
int PixelsToTwips(int pixels);

// Where the window's input boxes open: a quarter of its outer width and height in from its
// top-left corner, halves rounded to even.
QPoint InputBoxPosition(const QWidget &window);

// Where the main window's controls go, in twips. Frame1 and Combo1 are relative to the
// client area, PBoxRight to Frame1, ListViewFiles to PBoxRight.
struct ControlLayout
{
    QRect Frame1;
    QRect Combo1;
    QRect PBoxRight;
    QRect ListViewFiles;
};

// The layout for a client area of innerWidth x innerHeight twips (status bar included)
// whose status bar is statusBarHeight twips high; combo1Height is kept as it is. Heights are
// taken as absolute values, so a window lower than its status bar still gets no negative
// size, and Combo1 is never narrower than 4000 twips.
ControlLayout ArrangeControlsLayout(int innerWidth, int innerHeight, int statusBarHeight,
                                    int combo1Height);
