#pragma once

// Local files for the transfer tests: contents that show a text-mode or cut-off
// transfer, trees written from a list, and trees read back for comparison.
// Names are bytes, as the system keeps them: a name that is not valid UTF-8 is
// written, and read back, as it stands.

#include "support/FtpTestServer.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <initializer_list>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace LocalFiles {

/// Content with every byte value, line ends of both kinds and a length that is no
/// multiple of a buffer size, so a text-mode or truncated transfer shows.
inline QByteArray Content(int nSize, int nVariant)
{
    QByteArray data(nSize, Qt::Uninitialized);
    for (int i = 0; i < nSize; ++i)
        data[i] = char((i * 31 + nVariant * 7 + (i >> 8)) & 0xFF);
    if (nSize >= 4)
        data.replace(0, 4, QByteArray("\r\n\n\0", 4));
    return data;
}

/// Creates every folder of @p strPath that is missing (mkdir -p).
inline bool MakeFolders(const QByteArray& strPath)
{
    for (qsizetype nAt = 1; nAt <= strPath.size(); ++nAt) {
        if (nAt < strPath.size() && strPath.at(nAt) != '/')
            continue;
        if (::mkdir(strPath.left(nAt).constData(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

/// Writes @p content to the file @p strPath (bytes), creating its folders.
inline bool WriteFile(const QByteArray& strPath, const QByteArray& content)
{
    const qsizetype nSlash = strPath.lastIndexOf('/');
    if (nSlash > 0 && !MakeFolders(strPath.left(nSlash)))
        return false;
    const int fd = ::open(strPath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    const bool bWritten = ::write(fd, content.constData(), size_t(content.size())) == content.size();
    return ::close(fd) == 0 && bWritten;
}

inline bool WriteFile(const QString& strPath, const QByteArray& content)
{
    return WriteFile(QFile::encodeName(strPath), content);
}

/// Writes each file of @p files, named (as bytes) relative to @p strRoot.
inline bool WriteFiles(const QString& strRoot, std::initializer_list<std::pair<const char*, QByteArray>> files)
{
    for (const auto& [pszName, content] : files) {
        if (!WriteFile(QFile::encodeName(strRoot) + '/' + QByteArray(pszName), content))
            return false;
    }
    return true;
}

/// A temporary folder that also takes names that are not UTF-8 with it when it
/// goes (Qt's own removal passes over them, and would leave the folder behind).
class TempDir : public QTemporaryDir {
public:
    TempDir() = default;
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir()
    {
        std::error_code error;
        std::filesystem::remove_all(std::filesystem::path(QFile::encodeName(path()).toStdString()), error);
    }
};

/// Makes what @p strItem describes, below @p strRoot: "name=content" a file,
/// "name/" a folder, "name|" a pipe, "name->target" a symbolic link. Names are
/// bytes.
inline bool Create(const QByteArray& strRoot, const QByteArray& strItem)
{
    if (const qsizetype nArrow = strItem.indexOf("->"); nArrow > 0) {
        const QByteArray strLink = strRoot + '/' + strItem.left(nArrow);
        return MakeFolders(strLink.left(strLink.lastIndexOf('/')))
            && ::symlink(strItem.mid(nArrow + 2).constData(), strLink.constData()) == 0;
    }
    if (strItem.endsWith('/'))
        return MakeFolders(strRoot + '/' + strItem.chopped(1));
    if (strItem.endsWith('|')) {
        const QByteArray strPipe = strRoot + '/' + strItem.chopped(1);
        return MakeFolders(strPipe.left(strPipe.lastIndexOf('/'))) && ::mkfifo(strPipe.constData(), 0600) == 0;
    }
    const qsizetype nEquals = strItem.indexOf('=');
    return nEquals > 0 && WriteFile(strRoot + '/' + strItem.left(nEquals), strItem.mid(nEquals + 1));
}

/// The bytes of each of @p list, for table rows of names.
inline QList<QByteArray> ByteList(std::initializer_list<const char*> list)
{
    QList<QByteArray> bytes;
    for (const char* psz : list)
        bytes.append(QByteArray(psz));
    return bytes;
}

inline QString Path(const QTemporaryDir& dir, const char* pszRelative)
{
    return dir.filePath(QString::fromUtf8(pszRelative));
}

inline QString Path(const FtpTestServer& server, const char* pszRelative)
{
    return QDir(server.RootPath()).filePath(QString::fromUtf8(pszRelative));
}

/// The path of @p pszRelative in @p dir as bytes: a name need not be UTF-8.
inline QByteArray RawPath(const QTemporaryDir& dir, const char* pszRelative)
{
    return QFile::encodeName(dir.path()) + '/' + QByteArray(pszRelative);
}

inline QByteArray ReadFile(const QByteArray& strPath)
{
    QByteArray content;
    const int fd = ::open(strPath.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "<unreadable>";
    char buffer[65536];
    ssize_t nRead = 0;
    while ((nRead = ::read(fd, buffer, sizeof buffer)) > 0)
        content.append(buffer, nRead);
    ::close(fd);
    return nRead < 0 ? QByteArray("<unreadable>") : content;
}

inline QByteArray ReadFile(const QString& strPath)
{
    return ReadFile(QFile::encodeName(strPath));
}

/// A name as Tree() keys it: the text of a UTF-8 name, and for any other
/// name every byte from 0x80 up written as "\xHH", so that no two names
/// share a key.
inline QString NameKey(const QByteArray& strName)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString strText = decoder.decode(strName);
    if (!decoder.hasError())
        return strText;
    QString strKey;
    for (char c : strName) {
        const auto nByte = static_cast<unsigned char>(c);
        strKey += nByte < 0x80 ? QString(QLatin1Char(c)) : QStringLiteral("\\x%1").arg(nByte, 2, 16, QLatin1Char('0'));
    }
    return strKey;
}

/// Every file and folder under @p strRoot, read with readdir so that every
/// name the system holds is seen, relative (keyed by NameKey), with each
/// file's bytes ("<dir>" for folders); links are listed as such and not followed.
inline QMap<QString, QByteArray> Tree(const QString& strRoot)
{
    QMap<QString, QByteArray> tree;
    // Folders still to read, as bytes and as the key of their place in the tree.
    QList<std::pair<QByteArray, QString>> pending {{QFile::encodeName(strRoot), QString()}};
    for (int nFolders = 0; !pending.isEmpty() && nFolders < 100000; ++nFolders) {
        const auto [strFolder, strKey] = pending.takeFirst();
        DIR* pDir = ::opendir(strFolder.constData());
        while (const dirent* pEntry = pDir ? ::readdir(pDir) : nullptr) {
            const QByteArray strName(pEntry->d_name);
            if (strName == "." || strName == "..")
                continue;
            const QByteArray strPath = strFolder + '/' + strName;
            const QString strRel = strKey.isEmpty() ? NameKey(strName) : strKey + u'/' + NameKey(strName);
            struct stat st { };
            if (::lstat(strPath.constData(), &st) != 0)
                tree.insert(strRel, "<gone>");
            else if (S_ISLNK(st.st_mode))
                tree.insert(strRel, "<link>");
            else if (S_ISDIR(st.st_mode)) {
                tree.insert(strRel, "<dir>");
                pending.append({strPath, strRel});
            } else
                tree.insert(strRel, ReadFile(strPath));
        }
        if (pDir)
            ::closedir(pDir);
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
