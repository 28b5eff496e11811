#include "app/DialogHost.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

MsgAnswer QtDialogHost::MessageBox(QWidget* pOwner, const QString& strText, const QString& strCaption, MsgIcon icon,
    MsgButtons buttons, const QString& strInformative)
{
    QMessageBox::Icon qtIcon = QMessageBox::Warning;
    switch (icon) {
    case MsgIcon::Exclamation: qtIcon = QMessageBox::Warning; break;
    case MsgIcon::Hand: qtIcon = QMessageBox::Critical; break;
    case MsgIcon::Question: qtIcon = QMessageBox::Question; break;
    }
    const auto qtButtons = buttons == MsgButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
    QMessageBox box(qtIcon, strCaption, strText, qtButtons, pOwner);
    if (!strInformative.isEmpty())
        box.setInformativeText(strInformative);
    const int nResult = box.exec();
    if (buttons == MsgButtons::Ok)
        return MsgAnswer::Ok;
    return nResult == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
}

int QtDialogHost::DoModal(QDialog& dialog)
{
    return dialog.exec();
}

QString QtDialogHost::BrowseForFolder(QWidget* pOwner, const QString& strTitle)
{
    return QFileDialog::getExistingDirectory(pOwner, strTitle);
}

bool QtDialogHost::OpenUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}
