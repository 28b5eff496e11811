#include "app/TransferDoneDlg.h"

#include "app/DialogUnits.h"

#include <QLabel>
#include <QPushButton>

TransferDoneDlg::TransferDoneDlg(QWidget* pOwner)
    : QDialog(pOwner,
        Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
            | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TransferDoneDlg"));
    setWindowTitle(tr("Transfer Information"));
    setFont(DialogUnits::DialogFont());
    const DialogUnits units(font());
    setFixedSize(units.X(165), units.Y(68));

    auto* pIcon = new QLabel(this);
    pIcon->setObjectName(QStringLiteral("m_staticIcon"));
    units.Place(pIcon, 13, 13, 20, 20);
    pIcon->setPixmap(QIcon(QStringLiteral(":/tarnlow/tarnlow.png")).pixmap(pIcon->size())); // as large as its box holds

    auto* pText = new QLabel(tr("FTP File Transfer Complete"), this);
    pText->setObjectName(QStringLiteral("m_staticText"));
    units.Place(pText, 47, 19, 111, 8);

    m_btnOk = new QPushButton(tr("OK"), this);
    m_btnOk->setObjectName(QStringLiteral("m_btnOk"));
    m_btnOk->setProperty("controlId", 1);
    m_btnOk->setDefault(true);
    units.Place(m_btnOk, 57, 47, 50, 14);
    connect(m_btnOk, &QPushButton::clicked, this, &QDialog::accept);
}

void TransferDoneDlg::showEvent(QShowEvent* pEvent)
{
    QDialog::showEvent(pEvent);
    if (QWidget* pOwner = parentWidget()) {
        const QRect owner = pOwner->frameGeometry();
        move(owner.center() - rect().center());
    }
    m_btnOk->setFocus();
}
