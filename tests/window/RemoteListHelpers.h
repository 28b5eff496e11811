#pragma once

// Helpers shared by the tests of the remote list: reading what the list shows,
// picking items and laying out the server's files.

#include "app/TarnlowDlg.h"
#include "support/FtpTestServer.h"
#include "support/WindowFixture.h"

#include <QDir>
#include <QFile>
#include <QListView>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace RemoteListHelpers {

/// The entries of a local folder in the order the file system returns them,
/// which is the order the test server lists them in.
inline QList<QByteArray> DirectoryOrder(const QString& strPath)
{
    QList<QByteArray> names;
    DIR* pDir = opendir(QFile::encodeName(strPath).constData());
    if (!pDir)
        return names;
    while (const dirent* pEntry = readdir(pDir)) {
        const QByteArray strName(pEntry->d_name);
        if (strName != "." && strName != "..")
            names.append(strName);
    }
    closedir(pDir);
    return names;
}

/// The names in the server's root, sorted.
inline QList<QByteArray> SortedNames(const FtpTestServer& server)
{
    QList<QByteArray> names = DirectoryOrder(server.RootPath());
    std::sort(names.begin(), names.end());
    return names;
}

/// One item of the remote list as the rest of the program sees it.
struct Item {
    QString m_strText;
    QByteArray m_strRaw;
    int m_nFolder = -1;
    bool m_bSelected = false;

    bool operator==(const Item&) const = default;
};

/// How QCOMPARE prints an item.
inline char* toString(const Item& item)
{
    return qstrdup(QStringLiteral("{\"%1\" raw %2 folder %3%4}")
                       .arg(item.m_strText, QString::fromLatin1(item.m_strRaw.toHex()))
                       .arg(item.m_nFolder)
                       .arg(item.m_bSelected ? QStringLiteral(" selected") : QString())
                       .toUtf8()
                       .constData());
}

/// The rows of the list, as its model serves them to the view.
inline int Count(const QListView& list)
{
    return list.model()->rowCount();
}

inline QModelIndex Index(const QListView& list, int nRow)
{
    return list.model()->index(nRow, 0);
}

inline QList<Item> Items(const QListView& list)
{
    QList<Item> items;
    for (int i = 0; i < Count(list); ++i) {
        const QModelIndex index = Index(list, i);
        items.append(Item {index.data(Qt::DisplayRole).toString(), index.data(Qt::UserRole + 1).toByteArray(),
            index.data(Qt::UserRole).toInt(), list.selectionModel()->isSelected(index)});
    }
    return items;
}

/// Raw names in list order.
inline QList<QByteArray> Names(const QListView& list)
{
    QList<QByteArray> names;
    for (const Item& item : Items(list))
        names.append(item.m_strRaw);
    return names;
}

inline int Row(const QListView& list, const QByteArray& strRaw)
{
    for (int i = 0; i < Count(list); ++i) {
        if (Index(list, i).data(Qt::UserRole + 1).toByteArray() == strRaw)
            return i;
    }
    return -1;
}

/// Selects exactly the items named, as Ctrl-clicks would.
inline bool Select(QListView& list, const QList<QByteArray>& names)
{
    list.clearSelection();
    for (const QByteArray& strName : names) {
        const int nRow = Row(list, strName);
        if (nRow < 0)
            return false;
        list.selectionModel()->select(Index(list, nRow), QItemSelectionModel::Select);
    }
    return true;
}

/// A real double-click on the named item; true when the list took it as one.
inline bool DoubleClick(QListView& list, const QByteArray& strName)
{
    const int nRow = Row(list, strName);
    if (nRow < 0)
        return false;
    const QModelIndex index = Index(list, nRow);
    list.scrollTo(index);
    list.doItemsLayout();
    const QRect rect = list.visualRect(index);
    QSignalSpy spy(&list, &QListView::doubleClicked);
    // The press that precedes a double-click on a desktop, then the double-click.
    QTest::mousePress(list.viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, rect.center());
    return spy.count() == 1 && spy.at(0).at(0).value<QModelIndex>() == index;
}

inline bool MakeFile(const FtpTestServer& server, const QString& strPath, const QByteArray& content = "x")
{
    const QString strFull = QDir(server.RootPath()).filePath(strPath);
    if (!QDir().mkpath(QFileInfo(strFull).path()))
        return false;
    QFile file(strFull);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

/// Lays out the server's root: a name ending in '/' is a folder, any other an
/// empty file.
inline bool MakeEntries(const FtpTestServer& server, std::initializer_list<const char*> names)
{
    for (const char* pszName : names) {
        const QString strName = QString::fromUtf8(pszName);
        if (!(strName.endsWith(u'/') ? QDir(server.RootPath()).mkpath(strName) : MakeFile(server, strName)))
            return false;
    }
    return true;
}

/// A file whose name is @p strName byte for byte, which need not be UTF-8.
inline bool MakeRawFile(const FtpTestServer& server, const QByteArray& strName)
{
    const QByteArray strPath = QFile::encodeName(server.RootPath()) + '/' + strName;
    const int fd = ::open(strPath.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

inline bool Exists(const FtpTestServer& server, const QString& strPath)
{
    return QFileInfo::exists(QDir(server.RootPath()).filePath(strPath));
}

} // namespace RemoteListHelpers
