#pragma once

#include "ftp/FtpConnection.h"
#include "transfer/UploadPlan.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

class TransferReport;

/// One upload: local files and folders sent into the current remote directory
/// of a connection, folders level by level.
///
/// The walk goes into a remote folder by its leaf name and comes back to it,
/// after each sub-folder and after its last entry, by the directory the server
/// named for it, never by "..": on a server that resolves a link when it
/// changes into it, ".." leads to the parent of the link's target. When a way
/// back fails, nothing more of that folder is sent into whatever directory is
/// current: the rest of it is reported as not sent. The walk follows an
/// UploadPlan read before it began: every file and unsendable item of the plan
/// is one step of the progress, sent or not, so UploadPlan::Steps() gives the
/// number of steps.
class Upload {
public:
    /// @p strSiteDirectory is the site's directory, where the connection stands:
    /// when it is absolute, the way back after each item of a drop of several
    /// items when the server does not name its directory.
    Upload(FtpConnection& connection, TransferReport& report, QByteArray strSiteDirectory);

    /// Sends each item of @p plan into the current remote directory, in order.
    /// With more than one item, returns to that directory after each folder, so
    /// the next item lands beside it; when it cannot, the items left are
    /// reported as not sent. A file the server refuses, an unsendable item, and
    /// a file or folder that is gone or changed since the plan was read are
    /// reported, and the walk goes on.
    void SendPlan(const UploadPlan& plan);

    /// True once the connection itself was lost (closed by the server, a
    /// time-out, a 421): that was reported once and nothing more was tried.
    bool ConnectionLost() const { return m_bLost; }

private:
    using Item = UploadPlan::Item;

    /// @p strParentDir is the directory the folder is created in, empty when
    /// no name for it is known.
    bool UploadFolder(const Item& folder, const QByteArray& strParentDir);
    /// Reports @p folder as not sent, with @p strWhy: each of its steps is
    /// counted, and one message says it.
    void FailFolder(const Item& folder, const QString& strWhy);
    /// Begins sending @p item; its verdict is taken with the next step of the walk.
    void UploadFile(const Item& item);
    /// Takes the verdict of the file sent last, and reports it.
    void FinishSent();
    /// One item done: the progress steps, and a failure is shown with @p strWhy.
    void Report(const Item& item, bool bSent, const QString& strWhy);
    /// Changes back to @p strDirectory; false when there is no such name or the
    /// server refused it.
    bool ReturnTo(const QByteArray& strDirectory);
    /// Reports the items of @p items from @p nFirst on as not sent: each of their
    /// files steps the progress, and one message says it.
    void FailRest(const std::vector<Item>& items, size_t nFirst);
    bool Stopped() const;
    /// After a failed operation: true when the connection is gone, which is
    /// then reported, once, as the transfer's failure.
    bool Lost();

    /// A file whose bytes are sent and whose verdict is not taken yet.
    struct Sent {
        FtpTicket m_nTicket = 0;
        const Item* m_pItem = nullptr; // in the plan, which outlives the walk
    };

    FtpConnection& m_connection;
    TransferReport& m_report;
    QByteArray m_strSiteDirectory;
    bool m_bLost = false;
    std::optional<Sent> m_sent;
    QString m_strWayBackFailure; // why the last way back failed
};
