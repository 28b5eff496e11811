#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

/// The local side of an upload as the system shows it: what a dropped path is,
/// and every entry of a folder, by the bytes of its name. Names are never
/// turned into text here, so an entry whose name is not valid UTF-8 is seen
/// like any other.
namespace LocalTree {

enum class Kind {
    File, ///< a regular file
    Folder, ///< a folder
    Link, ///< a symbolic link, whatever it leads to (Entries only)
    Other, ///< missing, special (a pipe, a device) or unreadable: never sent; m_strWhy says why
};

struct Entry {
    QByteArray m_strPath; ///< full local path
    QByteArray m_strName; ///< last component of the path
    Kind m_kind = Kind::Other;
    QString m_strWhy; ///< Kind::Other: why it cannot be sent
};

/// What a dropped path is on disk, with its absolute, cleaned path and its leaf
/// name ("." names the current folder by its own name). A dropped link is what
/// it leads to, because the user chose it. A path without a leaf name ("/") is
/// Kind::Other.
Entry Classify(const QByteArray& strPath);

/// Reads @p strFolder with readdir: every entry the system returns but "." and
/// "..", sorted by the bytes of their names, each as lstat sees it (a link is
/// Kind::Link). False, with @p strWhy, when the folder cannot be read whole.
bool ReadFolder(const QByteArray& strFolder, QList<Entry>& entries, QString& strWhy);

/// Why a path that is neither a file nor a folder is not sent.
QString NotAFileText();

} // namespace LocalTree
