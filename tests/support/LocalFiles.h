#pragma once

// Local files for the transfer tests: contents that show a text-mode or cut-off
// transfer, trees written from a list, and trees read back for comparison.

#include "support/FtpTestServer.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

#include <initializer_list>
#include <utility>

namespace LocalFiles {

/// Content with every byte value, line ends of both kinds and a length that is no
/// multiple of a buffer size, so a text-mode or truncated transfer shows.
inline QByteArray Content(int nSize, int nSeed)
{
    QByteArray data(nSize, Qt::Uninitialized);
    for (int i = 0; i < nSize; ++i)
        data[i] = char((i * 31 + nSeed * 7 + (i >> 8)) & 0xFF);
    if (nSize >= 4)
        data.replace(0, 4, QByteArray("\r\n\n\0", 4));
    return data;
}

inline bool WriteFile(const QString& strPath, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(strPath).path());
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

/// Writes each file of @p files, named relative to @p strRoot.
inline bool WriteFiles(const QString& strRoot, std::initializer_list<std::pair<const char*, QByteArray>> files)
{
    for (const auto& [pszName, content] : files) {
        if (!WriteFile(QDir(strRoot).filePath(QString::fromUtf8(pszName)), content))
            return false;
    }
    return true;
}

inline QString Path(const QTemporaryDir& dir, const char* pszRelative)
{
    return dir.filePath(QString::fromUtf8(pszRelative));
}

inline QString Path(const FtpTestServer& server, const char* pszRelative)
{
    return QDir(server.RootPath()).filePath(QString::fromUtf8(pszRelative));
}

inline QByteArray ReadFile(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

/// Every file and folder under @p strRoot, relative, with each file's bytes
/// ("<dir>" for folders); links are listed as such and not followed.
inline QMap<QString, QByteArray> Tree(const QString& strRoot)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(
        strRoot, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    const QDir root(strRoot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString strRel = root.relativeFilePath(info.filePath());
        if (info.isSymLink())
            tree.insert(strRel, "<link>");
        else if (info.isDir())
            tree.insert(strRel, "<dir>");
        else
            tree.insert(strRel, ReadFile(info.filePath()));
    }
    return tree;
}

/// A tree as Tree() gives it, written with plain names.
inline QMap<QString, QByteArray> Files(std::initializer_list<std::pair<const char*, QByteArray>> files)
{
    QMap<QString, QByteArray> tree;
    for (const auto& [pszName, content] : files)
        tree.insert(QString::fromUtf8(pszName), content);
    return tree;
}

} // namespace LocalFiles
