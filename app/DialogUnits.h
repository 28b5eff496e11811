#pragma once

#include <QRect>

class QFont;
class QWidget;

/// Converts the layout's dialog units into pixels the way dialog templates always
/// have: horizontal units are a quarter of the font's average character width,
/// vertical units an eighth of its height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    QRect ToPixels(int nX, int nY, int nWidth, int nHeight) const;
    int X(int nUnits) const;
    int Y(int nUnits) const;

    /// Places @p pWidget at a rectangle given in dialog units.
    void Place(QWidget* pWidget, int nX, int nY, int nWidth, int nHeight) const;

    /// The font dialogs of the program use.
    static QFont DialogFont();

private:
    int m_nBaseX;
    int m_nBaseY;
};
