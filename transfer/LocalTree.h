#pragma once

#include <QList>
#include <QString>

/// The local side of an upload: what a dropped path is, and the entries of a
/// folder in the order the upload sends them. The file count and the upload both
/// walk through these functions, so the count always matches the steps.
namespace LocalTree {

enum class Kind {
    File, ///< a regular file (also through a link): sent under its own name
    Folder, ///< a readable folder: a remote folder of its name is filled with its entries
    Other, ///< missing, special, unreadable folder or a link to a folder inside a walk: reported, never sent
};

struct Entry {
    QString m_strPath; ///< full local path
    QString m_strName; ///< last component of the path
    Kind m_kind = Kind::Other;
};

/// What a dropped path is on disk, with its absolute, cleaned path and its leaf
/// name ("." names the current folder by its own name). A path without a leaf
/// name ("/") is Kind::Other. A dropped link to a folder is walked, because the
/// user chose it; links inside the walk are not (see Entries).
Entry Classify(const QString& strPath);

/// The entries of @p strFolder sorted by name, "." and ".." left out. A link to a
/// folder is Kind::Other here, so a walk never follows a link into a loop.
QList<Entry> Entries(const QString& strFolder);

/// The number of items an upload of @p entry steps through: 1 for a file or an
/// item that cannot be sent, the sum over its entries for a folder.
int CountItems(const Entry& entry);

} // namespace LocalTree
