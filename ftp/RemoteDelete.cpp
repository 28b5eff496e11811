// Deleting the remote items selected in the window's list.

#include "app/TarnlowDlg.h"
#include "ftp/FtpConnection.h"

#include <QItemSelectionModel>
#include <QListWidget>

namespace {

// The first selected row in list order, or -1.
int FirstSelectedRow(const QListWidget& list)
{
    int nRow = -1;
    for (const QModelIndex& index : list.selectionModel()->selectedIndexes()) {
        if (nRow < 0 || index.row() < nRow)
            nRow = index.row();
    }
    return nRow;
}

} // namespace

void TarnlowDlg::OnDeleteFiles()
{
    // The delete works on the window's thread. It holds the connection slot from
    // the question on, so that nothing else connects while the question or an
    // error message is open (a drop meanwhile is held until the pass ends).
    if (IsSlotBusy() || m_remoteList->selectionModel()->selectedIndexes().isEmpty())
        return;
    m_bSlotBusy = true;

    if (MessageBox(QStringLiteral("Delete the file(s)?"), QStringLiteral("Delete Confirm"), MsgIcon::Question,
            MsgButtons::YesNo)
        == MsgAnswer::Yes) {
        ConnectToSite(false);
        if (m_bConnected) {
            for (int nRow = FirstSelectedRow(*m_remoteList); nRow >= 0; nRow = FirstSelectedRow(*m_remoteList)) {
                const QListWidgetItem* pItem = m_remoteList->item(nRow);
                const QByteArray strName = pItem->data(Qt::UserRole + 1).toByteArray();
                if (pItem->data(Qt::UserRole).toInt() != 0) {
                    if (!m_pConnection->RemoveDirectory(strName)) {
                        MessageBox(QStringLiteral("The directory contains files"), QStringLiteral("Error"),
                            MsgIcon::Exclamation);
                        break;
                    }
                } else if (!m_pConnection->Remove(strName)) {
                    MessageBox(QStringLiteral("Could not delete file"), QStringLiteral("Error"), MsgIcon::Exclamation);
                    break;
                }
                delete m_remoteList->takeItem(nRow);
            }
            if (m_bConnected)
                Disconnect();
        }
    }

    m_bSlotBusy = false;
    emit SlotReleased();
}
