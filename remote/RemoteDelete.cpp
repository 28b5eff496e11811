#include "remote/RemoteDelete.h"

#include "ftp/FtpConnection.h"
#include "ftp/RemoteLink.h"

#include <QCoreApplication>

RemoteDelete::Result RemoteDelete::DeleteItems(
    const QList<Item>& items, const std::function<void(qsizetype)>& onDeleted)
{
    for (qsizetype i = 0; i < items.size(); ++i) {
        const Item& item = items[i];
        if (item.m_bLink) {
            if (!m_connection.Remove(item.m_strName)) {
                const bool bFolder = RemoteLink::Resolve(m_connection, item.m_strName) == RemoteLink::Target::Folder;
                if (!bFolder || !m_connection.RemoveDirectory(item.m_strName))
                    return bFolder ? Result::FolderRefused : Result::FileRefused;
            }
        } else if (item.m_bFolder) {
            if (!m_connection.RemoveDirectory(item.m_strName))
                return Result::FolderRefused;
        } else if (!m_connection.Remove(item.m_strName)) {
            return Result::FileRefused;
        }
        onDeleted(i);
    }
    return Result::Deleted;
}

QString RemoteDelete::FailureText(Result result)
{
    switch (result) {
    case Result::Deleted: return {};
    case Result::FolderRefused: return QCoreApplication::translate("RemoteDelete", "The directory contains files");
    case Result::FileRefused: return QCoreApplication::translate("RemoteDelete", "Could not delete file");
    }
    return {};
}
