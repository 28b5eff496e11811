#include "transfer/LocalTree.h"

#include <QDir>
#include <QFileInfo>

namespace LocalTree {
namespace {

/// A folder is walked only when it can be listed and entered; a folder that
/// cannot is reported like an unreadable file rather than sent as an empty folder.
Kind KindOf(const QFileInfo& info, bool bFollowFolderLink)
{
    if (info.isDir()) {
        if (info.isSymLink() && !bFollowFolderLink)
            return Kind::Other;
        return info.isReadable() && info.isExecutable() ? Kind::Folder : Kind::Other;
    }
    // Pipes, sockets and devices would block or never end when read.
    return info.isFile() ? Kind::File : Kind::Other;
}

Entry MakeEntry(const QFileInfo& info, bool bFollowFolderLink)
{
    Entry entry;
    entry.m_strPath = info.filePath();
    entry.m_strName = info.fileName();
    entry.m_kind = KindOf(info, bFollowFolderLink);
    // A folder without a name (the root) has no remote counterpart to fill.
    if (entry.m_strName.isEmpty())
        entry.m_kind = Kind::Other;
    return entry;
}

} // namespace

Entry Classify(const QString& strPath)
{
    // The leaf name comes from the absolute, cleaned path: "." or "sub/.." name
    // the folder they stand for, and a trailing separator does not hide the name.
    const QString strClean = strPath.isEmpty() ? strPath : QDir::cleanPath(QFileInfo(strPath).absoluteFilePath());
    Entry entry = MakeEntry(QFileInfo(strClean), true);
    entry.m_strPath = strClean;
    return entry;
}

QList<Entry> Entries(const QString& strFolder)
{
    const QDir dir(strFolder);
    const QFileInfoList infos
        = dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    QList<Entry> entries;
    entries.reserve(infos.size());
    for (const QFileInfo& info : infos)
        entries.append(MakeEntry(info, false));
    return entries;
}

int CountItems(const Entry& entry)
{
    if (entry.m_kind != Kind::Folder)
        return 1;
    int nCount = 0;
    for (const Entry& child : Entries(entry.m_strPath))
        nCount += CountItems(child);
    return nCount;
}

} // namespace LocalTree
