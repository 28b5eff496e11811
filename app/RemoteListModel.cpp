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
    packed.m_ends.reserve(entries.size());
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
    m_ends.push_back(std::uint32_t(nEnd));
    m_kinds.push_back(std::uint8_t(kind));
    return true;
}

QByteArrayView RemoteListModel::Entries::Name(int nRow) const
{
    const std::uint32_t nStart = nRow > 0 ? m_ends[size_t(nRow) - 1] : 0;
    return QByteArrayView(m_names.constData() + nStart, qsizetype(m_ends[size_t(nRow)] - nStart));
}

void RemoteListModel::Entries::Remove(int nRow)
{
    const std::uint32_t nStart = nRow > 0 ? m_ends[size_t(nRow) - 1] : 0;
    const std::uint32_t nLength = m_ends[size_t(nRow)] - nStart;
    m_names.remove(qsizetype(nStart), qsizetype(nLength));
    m_ends.erase(m_ends.begin() + nRow);
    for (auto it = m_ends.begin() + nRow; it != m_ends.end(); ++it)
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
        case kFolder: return tr("Folder");
        case kLink: return tr("Link");
        case kFile: return tr("File");
        }
        return {};
    case KindRole: return int(m_entries.KindOf(nRow));
    case NameRole: return Name(nRow);
    default: return {};
    }
}

QModelIndexList RemoteListModel::match(
    const QModelIndex& start, int nRole, const QVariant& value, int nHits, Qt::MatchFlags flags) const
{
    // Type-ahead find: the first name whose shown text starts with the letters
    // typed, in any case, from the current row on and round again. Letters
    // typed from ASCII are compared with a name's first bytes directly while
    // those are ASCII too: the name shows them as they are, whether its bytes
    // read as UTF-8 or not. Any other name, and any other search, goes the
    // general way.
    const QString strTyped = value.userType() == QMetaType::QString ? value.toString() : QString();
    const bool bTypeAhead = nRole == Qt::DisplayRole && !strTyped.isEmpty()
        && (flags & ~Qt::MatchFlags(Qt::MatchWrap)) == Qt::MatchStartsWith && start.isValid() && start.model() == this
        && !start.parent().isValid()
        && std::all_of(strTyped.begin(), strTyped.end(), [](QChar ch) { return ch.unicode() < 0x80; });
    if (!bTypeAhead)
        return QAbstractListModel::match(start, nRole, value, nHits, flags);

    const QByteArray strFolded = strTyped.toLatin1().toLower();
    const auto matches = [&](int nRow) {
        const QByteArrayView name = m_entries.Name(nRow);
        const qsizetype nCompared = std::min(name.size(), strFolded.size());
        for (qsizetype i = 0; i < nCompared; ++i) {
            if (static_cast<unsigned char>(name[i]) >= 0x80)
                return data(index(nRow), Qt::DisplayRole).toString().startsWith(strTyped, Qt::CaseInsensitive);
        }
        // All of the name compared is ASCII: a shorter name shows just that.
        return name.size() >= strFolded.size()
            && QByteArrayView(strFolded).compare(name.first(strFolded.size()), Qt::CaseInsensitive) == 0;
    };
    QModelIndexList found;
    const int nRows = rowCount();
    const bool bWrap = flags & Qt::MatchWrap;
    for (const auto& [nFrom, nTo] : {std::pair {start.row(), nRows}, std::pair {0, bWrap ? start.row() : 0}}) {
        for (int nRow = nFrom; nRow < nTo && (nHits == -1 || found.size() < nHits); ++nRow) {
            if (matches(nRow))
                found.append(index(nRow));
        }
    }
    return found;
}

Qt::ItemFlags RemoteListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}
