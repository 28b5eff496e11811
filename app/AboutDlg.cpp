#include "app/AboutDlg.h"

#include "app/DialogUnits.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

AboutDlg::AboutDlg(QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("AboutDlg"));
    setWindowTitle(QStringLiteral("About Tarnlow"));
    setFont(DialogUnits::DialogFont());
    const DialogUnits units(font());
    setFixedSize(units.X(235), units.Y(93));

    auto* pIcon = new QLabel(this);
    pIcon->setObjectName(QStringLiteral("m_staticIcon"));
    units.Place(pIcon, 11, 17, 20, 20);
    pIcon->setPixmap(QIcon(QStringLiteral(":/tarnlow/tarnlow.png")).pixmap(pIcon->size())); // as large as its box holds
    auto* pVersion = new QLabel(QStringLiteral("Tarnlow Version 1.02"), this);
    pVersion->setObjectName(QStringLiteral("m_staticVersion"));
    units.Place(pVersion, 44, 16, 120, 8);
    auto* pOk = new QPushButton(QStringLiteral("OK"), this);
    pOk->setObjectName(QStringLiteral("m_btnOk"));
    pOk->setProperty("controlId", 1);
    pOk->setDefault(true);
    units.Place(pOk, 178, 17, 50, 14);
    connect(pOk, &QPushButton::clicked, this, &QDialog::accept);
}
