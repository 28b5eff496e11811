#include "app/RemoteListModel.h"

#include "ftp/FtpConnection.h"
#include "sites/ByteText.h"

#include <algorithm>
#include <limits>

RemoteListModel::Entries RemoteListModel::Entries::FromListing(const std::vector<FtpEntry>& entries)
{
    Entries packed;
    qsizetype nBytes = 0;
    for (const FtpEntry& entry : entries)
        nBytes += entry.m_strName.size();
    packed.m_names.reserve(nBytes);
    packed.m_starts.reserve(entries.size() + 1);
    packed.m_kinds.reserve(entries.size());
    for (const FtpEntry& entry : entries) {
        const Kind kind = entry.m_bDirectory ? kFolder : entry.m_bLink ? kLink : kFile;
        if (!packed.Append(entry.m_strName, kind))
            break;
    }
    return packed;
}

bool RemoteListModel::Entries::Append(QByteArrayView name, Kind kind)
{
    const auto nEnd = std::uint64_t(m_names.size()) + std::uint64_t(name.size());
    if (nEnd > std::numeric_limits<std::uint32_t>::max() || m_kinds.size() >= size_t(std::numeric_limits<int>::max()))
        return false;
    m_names.append(name);
    m_starts.push_back(std::uint32_t(nEnd));
    m_kinds.push_back(std::uint8_t(kind));
    return true;
}

QByteArrayView RemoteListModel::Entries::Name(int nRow) const
{
    const std::uint32_t nStart = m_starts[size_t(nRow)];
    return QByteArrayView(m_names.constData() + nStart, qsizetype(m_starts[size_t(nRow) + 1] - nStart));
}

void RemoteListModel::Entries::Remove(int nRow)
{
    const auto nStart = qsizetype(m_starts[size_t(nRow)]);
    const std::uint32_t nLength = m_starts[size_t(nRow) + 1] - std::uint32_t(nStart);
    m_names.remove(nStart, qsizetype(nLength));
    m_starts.erase(m_starts.begin() + nRow + 1);
    for (auto it = m_starts.begin() + nRow + 1; it != m_starts.end(); ++it)
        *it -= nLength;
    m_kinds.erase(m_kinds.begin() + nRow);
}

RemoteListModel::RemoteListModel(const QIcon& folderIcon, const QIcon& documentIcon, QObject* pParent)
    : QAbstractListModel(pParent)
    , m_folderIcon(folderIcon)
    , m_documentIcon(documentIcon)
{
}

void RemoteListModel::Fill(Entries&& entries)
{
    // The rows shown so far are freed with @p entries, once the view has let go of them.
    beginResetModel();
    std::swap(m_entries, entries);
    endResetModel();
}

void RemoteListModel::Clear()
{
    Fill(Entries());
}

void RemoteListModel::RemoveRow(int nRow)
{
    beginRemoveRows({}, nRow, nRow);
    m_entries.Remove(nRow);
    endRemoveRows();
}

int RemoteListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_entries.Count();
}

QVariant RemoteListModel::data(const QModelIndex& index, int nRole) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int nRow = index.row();
    switch (nRole) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: {
        const QByteArrayView name = m_entries.Name(nRow);
        return ByteText::Display(QByteArray::fromRawData(name.data(), name.size()));
    }
    case Qt::DecorationRole: return m_entries.KindOf(nRow) == kFolder ? m_folderIcon : m_documentIcon;
    case Qt::AccessibleDescriptionRole:
        // A screen reader does not see the icon: it says what the entry is.
        switch (m_entries.KindOf(nRow)) {
        case kFolder: return QStringLiteral("Folder");
        case kLink: return QStringLiteral("Link");
        case kFile: return QStringLiteral("File");
        }
        return {};
    case KindRole: return int(m_entries.KindOf(nRow));
    case NameRole: return Name(nRow);
    default: return {};
    }
}

Qt::ItemFlags RemoteListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}
