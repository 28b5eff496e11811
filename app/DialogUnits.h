#pragma once

#include <QRect>

class QFont;
class QWidget;

/// Converts the layout's dialog units into pixels the way dialog templates always
/// have: horizontal units are a quarter of the font's average character width,
/// vertical units an eighth of its height. So a window laid out in dialog units
/// grows and shrinks with the font it draws with, keeping its proportions.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    /// The rectangle's edges are converted, not its size, so that rectangles
    /// that meet in dialog units meet in pixels too, never overlapping by a
    /// rounded pixel.
    QRect ToPixels(int nX, int nY, int nWidth, int nHeight) const;
    int X(int nUnits) const;
    int Y(int nUnits) const;

    /// Places @p pWidget at a rectangle given in dialog units.
    void Place(QWidget* pWidget, int nX, int nY, int nWidth, int nHeight) const;

    /// The desktop's font (whatever its platform theme, font setting or a larger
    /// accessibility font gives the program). Each window and pane sets it on
    /// itself and measures its units from it: set on the window, its family and
    /// size reach every control inside, so that none draws with a font the
    /// platform gives its class instead.
    static QFont DialogFont();

private:
    int m_nBaseX;
    int m_nBaseY;
};
