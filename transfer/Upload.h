#pragma once

#include "ftp/FtpConnection.h"
#include "transfer/TransferConnection.h"
#include "transfer/UploadPlan.h"

#include <QByteArray>
#include <QString>

#include <deque>
#include <functional>
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
///
/// A server that goes out of step with the commands costs a fresh connection
/// (with @p reconnect): the walk goes on from the folder it stands in, and the
/// files whose verdicts were not in are sent again, once. A folder the server
/// gave no name for cannot be come back to that way; its files then fail.
class Upload {
public:
    /// @p strSiteDirectory is the site's directory, where the connection stands:
    /// when it is absolute, the way back after each item of a drop of several
    /// items when the server does not name its directory.
    Upload(FtpConnection& connection, TransferReport& report, QByteArray strSiteDirectory,
        TransferConnection::Reconnect reconnect = {});

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
    /// Takes the verdicts of the files sent, all or all but the last, and
    /// reports them.
    void FinishSent(bool bAllButLast = false);
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
    /// then reported, once, as the transfer's failure. A connection that went
    /// out of step is replaced by a fresh one in the same folder instead.
    bool Lost();
    /// The server went out of step: a fresh connection in the folder the walk
    /// stands in, on which the files whose verdicts were not in are sent again,
    /// one at a time. False when there is none to be had: the transfer is then
    /// lost, and that is reported once.
    bool Resume();
    /// @p operation on the connection, and once more on a fresh connection when
    /// it failed because the server went out of step.
    bool Again(const std::function<bool(FtpConnection&)>& operation);

    /// A file whose bytes are sent and whose verdict is not taken yet.
    struct Sent {
        const Item* m_pItem = nullptr; // in the plan, which outlives the walk
        FtpTicket m_nTicket = 0; // 0: to be sent (again) on the connection there is now
        bool m_bAlone = false; // the first file sent on a fresh connection
    };
    /// Sends @p sent's file on the connection as it is now.
    void Begin(Sent& sent);

    TransferConnection m_connection;
    TransferReport& m_report;
    QByteArray m_strSiteDirectory;
    bool m_bLost = false;
    std::deque<Sent> m_sent; // sent, verdicts not taken, oldest first
    bool m_bFresh = false; // a fresh connection on which nothing was sent yet
    QString m_strWayBackFailure; // why the last way back failed
    // The folder the walk stands in, as a fresh connection can reach it: its
    // name from the server, empty for the site's directory, or none when the
    // server gave it no name.
    std::optional<QByteArray> m_here;
};
