#include "app/AboutDlg.h"

#include "app/DialogUnits.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

AboutDlg::AboutDlg(QWidget* pParent)
    : QDialog(pParent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("AboutDlg"));
    setWindowTitle(tr("About Tarnlow"));
    setFont(DialogUnits::DialogFont());
    const DialogUnits units(font());
    // The box is 20 units deeper than the classic 93, for the notice below the
    // version line; everything above it stands where it always has.
    setFixedSize(units.X(235), units.Y(113));

    auto* pIcon = new QLabel(this);
    pIcon->setObjectName(QStringLiteral("m_staticIcon"));
    units.Place(pIcon, 11, 17, 20, 20);
    pIcon->setPixmap(QIcon(QStringLiteral(":/tarnlow/tarnlow.png")).pixmap(pIcon->size())); // as large as its box holds
    auto* pVersion = new QLabel(tr("Tarnlow Version 1.02"), this);
    pVersion->setObjectName(QStringLiteral("m_staticVersion"));
    units.Place(pVersion, 44, 16, 120, 8);

    // The notice the GPL asks an interactive program to show.
    auto* pNotice = new QLabel(tr("Copyright \u00A9 2026 Tarnlow maintainers\n\n"
                                  "This program comes with ABSOLUTELY NO WARRANTY. It is free software: "
                                  "you may redistribute it and/or modify it under the terms of the GNU "
                                  "General Public License, version 3 or (at your option) any later "
                                  "version (GPL-3.0-or-later). Read the licence at "
                                  "https://www.gnu.org/licenses/gpl-3.0.html"),
        this);
    pNotice->setObjectName(QStringLiteral("m_staticNotice"));
    pNotice->setWordWrap(true);
    pNotice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The licence's address can be copied from here.
    pNotice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    units.Place(pNotice, 44, 34, 184, 72);

    auto* pOk = new QPushButton(tr("OK"), this);
    pOk->setObjectName(QStringLiteral("m_btnOk"));
    pOk->setProperty("controlId", 1);
    pOk->setDefault(true);
    units.Place(pOk, 178, 17, 50, 14);
    connect(pOk, &QPushButton::clicked, this, &QDialog::accept);
}
