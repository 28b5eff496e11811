#pragma once

#include "app/TarnlowDlg.h"
#include "app/TransferAnimation.h"

#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

/// The window's controls as its user meets them, found by their names.
struct WindowView {
    explicit WindowView(const TarnlowDlg& dlg)
        : m_tab(Find<QTabWidget>(dlg, "m_tab"))
        , m_remoteList(Find<QListView>(dlg, "m_remoteList"))
        , m_btnRefresh(Find<QPushButton>(dlg, "m_btnRefresh"))
        , m_btnHome(Find<QPushButton>(dlg, "m_btnHome"))
        , m_btnDelete(Find<QPushButton>(dlg, "m_btnDelete"))
        , m_btnDownload(Find<QPushButton>(dlg, "m_btnDownload"))
        , m_btnBrowse(Find<QPushButton>(dlg, "m_btnBrowse"))
        , m_editDownloadPath(Find<QLineEdit>(dlg, "m_editDownloadPath"))
        , m_editTransferName(Find<QLineEdit>(dlg, "m_editTransferName"))
        , m_editPercent(Find<QLineEdit>(dlg, "m_editPercent"))
        , m_progress(Find<QProgressBar>(dlg, "m_progress"))
        , m_animate(Find<TransferAnimation>(dlg, "m_animate"))
    {
    }

    QTabWidget* m_tab;
    QListView* m_remoteList;
    QPushButton* m_btnRefresh;
    QPushButton* m_btnHome;
    QPushButton* m_btnDelete;
    QPushButton* m_btnDownload;
    QPushButton* m_btnBrowse;
    QLineEdit* m_editDownloadPath;
    QLineEdit* m_editTransferName;
    QLineEdit* m_editPercent;
    QProgressBar* m_progress;
    TransferAnimation* m_animate;

private:
    template <class T> static T* Find(const TarnlowDlg& dlg, const char* pszName)
    {
        return dlg.findChild<T*>(QString::fromLatin1(pszName));
    }
};

/// The controls of @p dlg.
inline WindowView View(const TarnlowDlg& dlg)
{
    return WindowView(dlg);
}
