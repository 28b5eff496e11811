#pragma once

// Helpers shared by the transfer tests of the window: real drops on the
// window, recorders of the strip's fields, and waits for a transfer's end.

#include "app/TarnlowDlg.h"
#include "app/TransferAnimation.h"
#include "support/FtpTestServer.h"
#include "support/LocalFiles.h"
#include "support/WindowFixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListView>
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

using namespace LocalFiles;

/// The texts the percentage field shows for @p percents.
inline QStringList Percents(std::initializer_list<int> percents)
{
    QStringList texts;
    for (int nPercent : percents)
        texts.append(QStringLiteral("%1%").arg(nPercent));
    return texts;
}

/// True when @p shown holds values of @p expected in their order, perhaps with
/// some left out (the window shows a transfer's progress at its own pace, so it
/// may pass over a step), and ends with the last @p nEnd of them: a full bar,
/// say, then the cleared one. Every value shown must be one that belongs.
template <class T> bool ShownInOrder(const QList<T>& shown, const QList<T>& expected, qsizetype nEnd = 2)
{
    if (shown.size() < nEnd || expected.size() < nEnd || shown.last(nEnd) != expected.last(nEnd))
        return false;
    qsizetype nAt = 0;
    for (const T& value : shown) {
        while (nAt < expected.size() && expected[nAt] != value)
            ++nAt;
        if (nAt == expected.size())
            return false;
        ++nAt;
    }
    return true;
}

/// A real drop of local files on the window, as a file manager sends it (each
/// path's bytes percent-encoded, whether or not they are UTF-8), and the turn
/// of the window's event loop that handles it (unless @p bHandle is false).
/// True when the window took it.
inline bool Drop(TarnlowDlg& dlg, const QList<QByteArray>& paths, bool bHandle = true)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QByteArray& strPath : paths)
        urls.append(QUrl::fromEncoded("file://" + strPath.toPercentEncoding("/"), QUrl::StrictMode));
    mime.setUrls(urls);
    const QPoint at = dlg.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dlg, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dlg, &drop);
    if (bHandle)
        QCoreApplication::sendPostedEvents(&dlg, QEvent::MetaCall);
    return enter.isAccepted() && drop.isAccepted();
}

inline bool Drop(TarnlowDlg& dlg, const QStringList& paths, bool bHandle = true)
{
    QList<QByteArray> bytes;
    for (const QString& strPath : paths)
        bytes.append(QFile::encodeName(strPath));
    return Drop(dlg, bytes, bHandle);
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

inline bool UploadAndWait(WindowFixture& fx, TarnlowDlg& dlg, const QList<QByteArray>& paths)
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

/// Every percentage from 1% to 100%, then the cleared 0%: what ShownInOrder()
/// accepts from a strip that moves with the bytes of each file, never goes
/// back, ends full and is cleared.
inline QStringList RisingPercents()
{
    QStringList texts;
    for (int nPercent = 1; nPercent <= 100; ++nPercent)
        texts.append(QStringLiteral("%1%").arg(nPercent));
    texts.append(QStringLiteral("0%"));
    return texts;
}

} // namespace TransferHelpers
