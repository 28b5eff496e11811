#pragma once

// Helpers shared by the transfer tests: local trees, real drops on the window,
// byte-for-byte comparison of trees, and recorders of the strip's fields.

#include "app/TarnlowDlg.h"
#include "app/TransferAnimation.h"
#include "support/FtpTestServer.h"
#include "support/WindowFixture.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <initializer_list>
#include <utility>

namespace TransferHelpers {

/// Content with every byte value, line ends of both kinds and a length that is no
/// multiple of a buffer size, so a text-mode or truncated transfer shows.
inline QByteArray Content(int nSize, int nSeed)
{
    QByteArray data(nSize, Qt::Uninitialized);
    for (int i = 0; i < nSize; ++i)
        data[i] = char((i * 31 + nSeed * 7 + (i >> 8)) & 0xFF);
    if (nSize >= 4)
        data.replace(0, 4, QByteArray("\r\n\n\0", 4));
    return data;
}

inline bool WriteFile(const QString& strPath, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(strPath).path());
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

/// Writes each file of @p files, named relative to @p strRoot.
inline bool WriteFiles(const QString& strRoot, std::initializer_list<std::pair<const char*, QByteArray>> files)
{
    for (const auto& [pszName, content] : files) {
        if (!WriteFile(QDir(strRoot).filePath(QString::fromUtf8(pszName)), content))
            return false;
    }
    return true;
}

inline QString Path(const QTemporaryDir& dir, const char* pszRelative)
{
    return dir.filePath(QString::fromUtf8(pszRelative));
}

inline QString Path(const FtpTestServer& server, const char* pszRelative)
{
    return QDir(server.RootPath()).filePath(QString::fromUtf8(pszRelative));
}

inline QByteArray ReadFile(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

/// Every file and folder under @p strRoot, relative, with each file's bytes
/// ("<dir>" for folders); links are listed as such and not followed.
inline QMap<QString, QByteArray> Tree(const QString& strRoot)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(
        strRoot, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    const QDir root(strRoot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString strRel = root.relativeFilePath(info.filePath());
        if (info.isSymLink())
            tree.insert(strRel, "<link>");
        else if (info.isDir())
            tree.insert(strRel, "<dir>");
        else
            tree.insert(strRel, ReadFile(info.filePath()));
    }
    return tree;
}

/// A tree as Tree() gives it, written with plain names.
inline QMap<QString, QByteArray> Files(std::initializer_list<std::pair<const char*, QByteArray>> files)
{
    QMap<QString, QByteArray> tree;
    for (const auto& [pszName, content] : files)
        tree.insert(QString::fromUtf8(pszName), content);
    return tree;
}

/// The texts the percentage field shows for @p percents.
inline QStringList Percents(std::initializer_list<int> percents)
{
    QStringList texts;
    for (int nPercent : percents)
        texts.append(QStringLiteral("%1%").arg(nPercent));
    return texts;
}

/// A real drop of local files on the window, as a file manager sends it.
/// True when the window took it.
inline bool Drop(TarnlowDlg& dlg, const QStringList& paths)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& strPath : paths)
        urls.append(QUrl::fromLocalFile(strPath));
    mime.setUrls(urls);
    const QPoint at = dlg.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dlg, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dlg, &drop);
    return enter.isAccepted() && drop.isAccepted();
}

/// Records every text a field shows, in order.
class FieldRecorder {
public:
    explicit FieldRecorder(QLineEdit* pEdit)
    {
        QObject::connect(
            pEdit, &QLineEdit::textChanged, pEdit, [this](const QString& strText) { m_texts.append(strText); });
    }
    QStringList m_texts;
};

/// Queues the completion dialog and checks it as it is shown: its texts, and
/// that the strip stands full with no name while it is up.
inline void ExpectCompletion(WindowFixture& fx, TarnlowDlg& dlg, bool bFullBar = true)
{
    fx.m_host.ExpectDialog(1, [&dlg, bFullBar](QDialog& done) {
        QCOMPARE(done.windowTitle(), QStringLiteral("Transfer Information"));
        QCOMPARE(done.parentWidget(), &dlg);
        QVERIFY(done.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(View(dlg).m_editTransferName->text().isEmpty());
        if (bFullBar)
            QCOMPARE(View(dlg).m_editPercent->text(), QStringLiteral("100%"));
        QVERIFY(View(dlg).m_remoteList->isEnabled());
    });
}

/// Waits until every queued prompt was shown and the slot is free.
inline bool WaitDone(WindowFixture& fx, int nMsec = 20000)
{
    QDeadlineTimer deadline(nMsec);
    while (fx.m_host.PendingCount() > 0 && !deadline.hasExpired())
        QTest::qWait(10);
    return fx.m_host.PendingCount() == 0 && fx.WaitIdle(int(std::max<qint64>(deadline.remainingTime(), 1)));
}

/// Drops @p paths on the window, expecting the completion dialog, and waits
/// until the upload has ended.
inline bool UploadAndWait(WindowFixture& fx, TarnlowDlg& dlg, const QStringList& paths)
{
    ExpectCompletion(fx, dlg);
    return Drop(dlg, paths) && WaitDone(fx);
}

/// The window is back to idle with its strip cleared.
inline bool IdleAndCleared(TarnlowDlg& dlg)
{
    return dlg.IsIdle() && View(dlg).m_btnDownload->isEnabled() && View(dlg).m_btnBrowse->isEnabled()
        && View(dlg).m_tab->isEnabled() && !View(dlg).m_editDownloadPath->isReadOnly()
        && View(dlg).m_progress->value() == 0 && View(dlg).m_editPercent->text() == QStringLiteral("0%")
        && View(dlg).m_editTransferName->text().isEmpty();
}

} // namespace TransferHelpers
