#include "transfer/LocalTree.h"

#include "transfer/LocalPath.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace LocalTree {
namespace {

QString ErrnoText(int nErrno)
{
    return QString::fromLocal8Bit(std::strerror(nErrno));
}

/// The kind of an entry whose status is @p st.
Kind KindOf(const struct stat& st)
{
    // Pipes, sockets and devices would block or never end when read.
    if (S_ISREG(st.st_mode))
        return Kind::File;
    if (S_ISDIR(st.st_mode))
        return Kind::Folder;
    if (S_ISLNK(st.st_mode))
        return Kind::Link;
    return Kind::Other;
}

/// Closes a folder opened by opendir when it goes out of scope.
struct FolderHandle {
    DIR* m_pDir = nullptr;
    ~FolderHandle()
    {
        if (m_pDir)
            ::closedir(m_pDir);
    }
};

} // namespace

QString NotAFileText()
{
    return QCoreApplication::translate("LocalTree", "It is not a file that can be read.");
}

Entry Classify(const QByteArray& strPath)
{
    // The leaf name comes from the absolute, cleaned path: "." or "sub/.." name
    // the folder they stand for, and a trailing separator does not hide the name.
    Entry entry;
    entry.m_strPath = LocalPath::Absolute(strPath);
    if (entry.m_strPath.isEmpty()) {
        entry.m_strPath = strPath;
        entry.m_strWhy = strPath.isEmpty() ? NotAFileText() : ErrnoText(errno);
        return entry;
    }
    entry.m_strName = LocalPath::Leaf(entry.m_strPath);
    struct stat st { };
    if (::stat(entry.m_strPath.constData(), &st) != 0) {
        entry.m_strWhy = ErrnoText(errno);
        return entry;
    }
    entry.m_kind = KindOf(st);
    // A folder without a name (the root) has no remote counterpart to fill.
    if (entry.m_kind == Kind::Other || entry.m_strName.isEmpty()) {
        entry.m_kind = Kind::Other;
        entry.m_strWhy = NotAFileText();
    }
    return entry;
}

bool ReadFolder(const QByteArray& strFolder, QList<Entry>& entries, QString& strWhy)
{
    entries.clear();
    // A folder that can be listed but not entered would give names whose
    // files cannot be opened: it is reported as a whole instead.
    if (::faccessat(AT_FDCWD, strFolder.constData(), R_OK | X_OK, AT_EACCESS) != 0) {
        strWhy = ErrnoText(errno);
        return false;
    }
    FolderHandle folder {::opendir(strFolder.constData())};
    if (!folder.m_pDir) {
        strWhy = ErrnoText(errno);
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* pEntry = ::readdir(folder.m_pDir);
        if (!pEntry) {
            if (errno == 0)
                break;
            // Cut off mid-way (the folder removed, an I/O error): what was
            // read is not the folder, and is not sent as if it were.
            strWhy = ErrnoText(errno);
            entries.clear();
            return false;
        }
        const QByteArray strName(pEntry->d_name);
        if (strName == "." || strName == "..")
            continue;
        Entry entry;
        entry.m_strName = strName;
        entry.m_strPath = LocalPath::Join(strFolder, strName);
        struct stat st { };
        if (::lstat(entry.m_strPath.constData(), &st) != 0) {
            entry.m_strWhy = ErrnoText(errno); // gone since the folder was read
        } else {
            entry.m_kind = KindOf(st);
            if (entry.m_kind == Kind::Other)
                entry.m_strWhy = NotAFileText();
        }
        entries.append(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.m_strName < b.m_strName; });
    return true;
}

} // namespace LocalTree
