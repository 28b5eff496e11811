#include "app/DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <QWidget>

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    static const QString strAlphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    // Average width of the 52 letters, rounded, as the dialog manager measures it.
    m_nBaseX = (metrics.horizontalAdvance(strAlphabet) / 26 + 1) / 2;
    m_nBaseY = metrics.height();
    if (m_nBaseX <= 0)
        m_nBaseX = 6;
    if (m_nBaseY <= 0)
        m_nBaseY = 13;
}

int DialogUnits::X(int nUnits) const
{
    return (nUnits * m_nBaseX + 2) / 4;
}

int DialogUnits::Y(int nUnits) const
{
    return (nUnits * m_nBaseY + 4) / 8;
}

QRect DialogUnits::ToPixels(int nX, int nY, int nWidth, int nHeight) const
{
    return QRect(X(nX), Y(nY), X(nWidth), Y(nHeight));
}

void DialogUnits::Place(QWidget* pWidget, int nX, int nY, int nWidth, int nHeight) const
{
    pWidget->setGeometry(ToPixels(nX, nY, nWidth, nHeight));
}

QFont DialogUnits::DialogFont()
{
    QFont font = QFont(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}
