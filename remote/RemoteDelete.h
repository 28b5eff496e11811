#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

class FtpConnection;

/// Deleting remote items by name in the current directory of a connection:
/// folders with RMD (never their contents), files and links with DELE. A link
/// the server will not delete is reported as what it leads to.
class RemoteDelete {
public:
    struct Item {
        QByteArray m_strName;
        bool m_bFolder = false;
        bool m_bLink = false; ///< a link: removed itself, never what it leads to
    };

    enum class Result {
        Deleted, ///< every item is gone
        FolderRefused, ///< the server would not remove a folder (full, say); the pass ended there
        FileRefused, ///< the server would not delete a file; the pass ended there
    };

    explicit RemoteDelete(FtpConnection& connection)
        : m_connection(connection)
    {
    }

    /// Deletes @p items in order and calls @p onDeleted with the index of each
    /// item the server removed. The first refusal ends the pass.
    Result DeleteItems(const QList<Item>& items, const std::function<void(qsizetype)>& onDeleted);

    /// The message for a refusal; empty for Deleted.
    static QString FailureText(Result result);

private:
    FtpConnection& m_connection;
};
