#include "app/DialogUnits.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QWidget>
#include <QtMath>

#include <algorithm>

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    static const QString strAlphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    // Average width of the 52 letters, rounded, as the dialog manager measures it.
    m_nBaseX = (metrics.horizontalAdvance(strAlphabet) / 26 + 1) / 2;
    // The height a line of text takes when laid out: the rounded height can
    // fall a pixel short of it, and a label one unit-line high would then cut
    // its descenders.
    m_nBaseY = std::max(metrics.height(), qCeil(QFontMetricsF(font).height()));
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
    return QRect(QPoint(X(nX), Y(nY)), QPoint(X(nX + nWidth) - 1, Y(nY + nHeight) - 1));
}

void DialogUnits::Place(QWidget* pWidget, int nX, int nY, int nWidth, int nHeight) const
{
    pWidget->setGeometry(ToPixels(nX, nY, nWidth, nHeight));
}

QFont DialogUnits::DialogFont()
{
    return QApplication::font();
}
