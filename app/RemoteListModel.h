#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QByteArrayView>
#include <QIcon>

#include <cstdint>
#include <vector>

struct FtpEntry;

/// The remote list's rows: the entries of one listing, in the server's order.
///
/// An entry is its name's bytes and its kind, nothing more: a folder of a
/// million entries costs the bytes of its names and five bytes each besides.
/// The rows are built on a worker (Entries) and handed over whole: the
/// window's thread takes a listing in one swap, and its view lays the rows
/// out a hundred at a time.
class RemoteListModel : public QAbstractListModel {
    Q_OBJECT

public:
    /// What a row is; navigation, delete and download go by it.
    enum Kind : std::uint8_t {
        kFile = 0,
        kFolder = 1, // ".." included
        kLink = 2, // a link: what it leads to is asked of the server when it is used
    };
    /// The data a row serves besides its text, icon and spoken name.
    enum Role {
        KindRole = Qt::UserRole, // Kind, as an int
        NameRole = Qt::UserRole + 1, // the name's bytes, as the server sent them
    };

    /// The entries of one listing, packed: every name one after another in one
    /// buffer, where each ends, and a kind byte each. Built on any thread.
    class Entries {
    public:
        /// Packs @p entries in their order.
        static Entries FromListing(const std::vector<FtpEntry>& entries);

        /// Adds one entry after the others. False, and nothing added, once the
        /// names would outgrow the 4 GiB the offsets can address.
        bool Append(QByteArrayView name, Kind kind);
        int Count() const { return int(m_kinds.size()); }
        /// The name's bytes, valid until the entries change.
        QByteArrayView Name(int nRow) const;
        Kind KindOf(int nRow) const { return Kind(m_kinds[size_t(nRow)]); }
        /// Takes out one entry, keeping the others in their order.
        void Remove(int nRow);

    private:
        QByteArray m_names;
        std::vector<std::uint32_t> m_ends; // where each name ends in m_names: the next one starts there
        std::vector<std::uint8_t> m_kinds;
    };

    RemoteListModel(const QIcon& folderIcon, const QIcon& documentIcon, QObject* pParent = nullptr);

    /// Shows @p entries in place of the rows shown so far.
    void Fill(Entries&& entries);
    /// No rows: nothing is listed.
    void Clear();
    /// Takes out one row, as the view sees a row go.
    void RemoveRow(int nRow);

    QByteArray Name(int nRow) const { return m_entries.Name(nRow).toByteArray(); }
    Kind KindOf(int nRow) const { return m_entries.KindOf(nRow); }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int nRole = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    /// As QAbstractItemModel::match, and as quick for the list's type-ahead
    /// find (names starting with the typed letters) on a million rows as on a
    /// hundred: names are compared by their bytes where those show as typed.
    QModelIndexList match(const QModelIndex& start, int nRole, const QVariant& value, int nHits = 1,
        Qt::MatchFlags flags = Qt::MatchFlags(Qt::MatchStartsWith | Qt::MatchWrap)) const override;

private:
    Entries m_entries;
    QIcon m_folderIcon; // folders and ".."
    QIcon m_documentIcon; // files and links
};
