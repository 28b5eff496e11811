#pragma once

#include "ftp/FtpConnection.h"
#include "transfer/LocalTree.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class TransferReport;

/// One upload: local files and folders sent into the current remote directory
/// of a connection, folders level by level.
///
/// The walk goes into a remote folder by its leaf name and comes back to it,
/// after each sub-folder and after its last entry, by the directory the server
/// named for it, never by "..": on a server that resolves a link when it
/// changes into it, ".." leads to the parent of the link's target. When a way
/// back fails, nothing more of that folder is sent into whatever directory is
/// current: the rest of it is reported as not sent. Every file the walk meets
/// is one step of the progress, sent or not, so CountFiles() gives the number
/// of steps.
class Upload {
public:
    /// @p strSiteDirectory is the site's directory, where the connection stands:
    /// when it is absolute, the way back after each item of a drop of several
    /// items when the server does not name its directory.
    Upload(FtpConnection& connection, TransferReport& report, QByteArray strSiteDirectory);

    /// The number of items UploadPaths() will step through for @p paths (a file,
    /// or an item that cannot be sent, is one; a folder is the sum over its
    /// entries). Looks at local files only; safe on any thread.
    static int CountFiles(const QStringList& paths);

    /// Sends each of @p paths into the current remote directory, in order. With
    /// more than one path, returns to that directory after each folder, so the
    /// next item lands beside it; when it cannot, the items left are reported
    /// as not sent. A file the server refuses is reported and the walk goes on.
    void UploadPaths(const QStringList& paths);

    /// True once the connection itself was lost (closed by the server, a
    /// time-out, a 421): that was reported once and nothing more was tried.
    bool ConnectionLost() const { return m_bLost; }

private:
    void UploadItems(const QList<LocalTree::Entry>& items);
    /// @p strParentDir is the directory the folder is created in, empty when
    /// no name for it is known.
    bool UploadFolder(const LocalTree::Entry& folder, const QByteArray& strParentDir);
    /// Begins sending @p item; its verdict is taken with the next step of the walk.
    void UploadFile(const LocalTree::Entry& item);
    /// Takes the verdict of the file sent last, and reports it.
    void FinishSent();
    /// One item done: the progress steps, and a failure is shown with @p strWhy.
    void Report(const LocalTree::Entry& item, bool bSent, const QString& strWhy);
    /// Changes back to @p strDirectory; false when there is no such name or the
    /// server refused it.
    bool ReturnTo(const QByteArray& strDirectory);
    /// Reports the items of @p items from @p nFirst on as not sent: each of their
    /// files steps the progress, and one message says it.
    void FailRest(const QList<LocalTree::Entry>& items, qsizetype nFirst);
    bool Stopped() const;
    /// After a failed operation: true when the connection is gone, which is
    /// then reported, once, as the transfer's failure.
    bool Lost();

    /// A file whose bytes are sent and whose verdict is not taken yet.
    struct Sent {
        FtpTicket m_nTicket = 0;
        LocalTree::Entry m_item;
    };

    FtpConnection& m_connection;
    TransferReport& m_report;
    QByteArray m_strSiteDirectory;
    bool m_bLost = false;
    std::optional<Sent> m_sent;
    QString m_strWayBackFailure; // why the last way back failed
};
