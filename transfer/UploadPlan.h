#pragma once

#include "ftp/LocalFile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <vector>

class TransferReport;

/// What an upload sends, read from the disk once before anything is sent:
/// every file, every folder with its entries, and every item that cannot be
/// sent with the reason. The upload works through the plan and reads no
/// folder again, so the count the bar is sized by (Steps()) is exactly the
/// steps the upload makes.
///
/// Links: a dropped path that is a link is what it leads to. Inside a dropped
/// folder, a link is followed only when what it leads to lies inside that same
/// folder: a link to a file is sent as that file under the link's name, a link
/// to a folder is walked under the link's name. A link that leads outside the
/// dropped folder or nowhere, one that leads back into a folder the walk is in
/// (a loop), and a second link to a folder walked through a link already are
/// items that cannot be sent: each is reported, and every folder is walked at
/// most once through a link, so the walk ends.
class UploadPlan {
public:
    enum class Kind {
        File, ///< a file to send
        Folder, ///< a remote folder of its name, filled with m_entries (read, and empty when they are)
        Unsendable, ///< reported with m_strWhy, never sent and never made a folder
    };

    struct Item {
        Kind m_kind = Kind::Unsendable;
        QByteArray m_strPath; ///< the local path, through the links the walk followed
        QByteArray m_strName; ///< its name on the server: the last component of the path
        /// File and Folder: what the plan read at m_strPath (through the links
        /// it followed); the upload sends nothing else found there later.
        FileIdentity m_id;
        QString m_strWhy; ///< Kind::Unsendable: why
        std::vector<Item> m_entries; ///< Kind::Folder: its entries in the order of their name bytes
        int m_nSteps = 0; ///< steps of the progress: 1 for a file or an unsendable item, the sum for a folder
    };

    UploadPlan() = default;

    /// Reads @p paths, in their order, into a plan. Stops early, with a plan of
    /// what was read so far, once @p report is cancelled.
    static UploadPlan Make(const QList<QByteArray>& paths, const TransferReport& report);

    const std::vector<Item>& Items() const { return m_items; }
    /// The number of steps the upload of the plan makes: its files and its
    /// unsendable items (folders are no steps of their own).
    int Steps() const;

private:
    std::vector<Item> m_items;
};
