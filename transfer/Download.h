#pragma once

#include "ftp/FtpConnection.h"
#include "transfer/TransferConnection.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include <deque>

class TransferReport;

/// One download: remote files fetched by name from the current remote
/// directory of a connection into a local folder.
///
/// Each file arrives directly inside the folder under its remote name: an
/// existing local file is never touched, and a name that could lead outside
/// the folder is refused. A file is received into a part file of its own
/// (PartFile) and takes its name only once it has arrived whole; a failed
/// fetch removes its part file, and a killed run leaves only that.
///
/// A server that goes out of step with the commands costs a fresh connection
/// (with @p reconnect, standing in the same directory): the files whose
/// verdicts were not in are fetched again, once, into new part files.
class Download {
public:
    /// @p strFolder is the download folder's path, as it stood when the
    /// download started; each file's path is that folder's bytes and the
    /// remote name's bytes, so a name is created with exactly its bytes.
    Download(FtpConnection& connection, TransferReport& report, QByteArray strFolder,
        TransferConnection::Reconnect reconnect = {});

    /// Fetches each name that is a file on the server, in order; folders are
    /// stepped over without a word. The directory is listed once, and the entry
    /// of each name in that listing decides whether it is a folder; a link is
    /// resolved on the server. A name the listing lacks is tried as a file, so
    /// one that is gone is reported. Every name is one step of the progress.
    /// The loop ends early only for a cancel or a lost connection.
    void DownloadNames(const QList<QByteArray>& names);

    /// False once any file was not fetched: the download is then not complete.
    bool AllFetched() const { return m_bAllFetched; }
    /// True once the connection itself was lost (closed by the server, a
    /// time-out, a 421): that was reported once and nothing more was tried.
    bool ConnectionLost() const { return m_bLost; }

private:
    /// A file asked for whose verdict is not taken yet.
    struct Fetching {
        QByteArray m_strName;
        QByteArray m_strPath; // its own name in the download folder
        QByteArray m_strPartPath; // where it is received
        FtpTicket m_nTicket = 0; // 0: not asked for (m_strFailure says why), or to be asked for again
        QString m_strFailure; // why, when it failed before anything was asked
        bool m_bAlone = false; // the first file asked for on a fresh connection
    };

    /// Asks for @p fetching's file under a free part name, on the connection
    /// as it is now.
    void Ask(Fetching& fetching);
    /// The server went out of step: a fresh connection, on which the files
    /// whose verdicts were not in are asked for again, one at a time. False
    /// when there is none to be had: the download is then lost, and that is
    /// reported once.
    bool Resume();

    /// Asks for @p strName under a part name, and judges the file before it.
    void BeginFile(const QByteArray& strName);
    /// Judges the files asked for, all or all but the last: each that arrived
    /// whole gets its own name, each step of the progress is counted, and each
    /// failure is shown. False when one was not fetched.
    bool FinishFetching(bool bAllButLast = false);
    /// A file was not fetched because of @p strWhy: shown, unless the connection
    /// is gone (then that is reported, once). False in that case.
    bool Failed(const QString& strWhy);
    /// A link is what it leads to: true when it was fetched (and counted) as a file.
    bool DownloadLink(const QByteArray& strName);
    /// After a failed operation: true when the connection is gone, which is
    /// then reported, once, as the transfer's failure. A connection that went
    /// out of step is replaced by a fresh one instead.
    bool Lost();
    /// Ends the download as failed with one message: @p strCause.
    void GiveUp(const QString& strCause);

    TransferConnection m_connection;
    TransferReport& m_report;
    QByteArray m_strFolder;
    QSet<QByteArray> m_names; // the names of this download: no part name takes one
    bool m_bAllFetched = true;
    bool m_bLost = false;
    std::deque<Fetching> m_fetching; // asked for, oldest first
    bool m_bFresh = false; // a fresh connection on which nothing was asked yet
};
