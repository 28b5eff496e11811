#include "transfer/UploadPlan.h"

#include "ftp/LocalFile.h"
#include "transfer/LocalPath.h"
#include "transfer/LocalTree.h"
#include "transfer/TransferReport.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sys/stat.h>

namespace {

/// The real path of @p strPath, every link resolved; empty with errno when
/// there is none.
QByteArray RealPath(const QByteArray& strPath)
{
    char* pszReal = ::realpath(strPath.constData(), nullptr);
    if (!pszReal)
        return {};
    QByteArray strReal(pszReal);
    std::free(pszReal);
    return strReal;
}

/// Walks one dropped folder into items.
class FolderWalk {
public:
    FolderWalk(const TransferReport& report, std::set<FileIdentity>& followed)
        : m_report(report)
        , m_followed(followed)
    {
    }

    /// Fills @p folder, a dropped folder, with everything under it.
    void WalkDropped(UploadPlan::Item& folder)
    {
        struct stat st { };
        m_strRoot = RealPath(folder.m_strPath);
        if (m_strRoot.isEmpty() || ::stat(folder.m_strPath.constData(), &st) != 0) {
            Unsendable(folder, QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        Walk(folder, FileIdentity::Of(st));
    }

private:
    static void Unsendable(UploadPlan::Item& item, const QString& strWhy)
    {
        item.m_kind = UploadPlan::Kind::Unsendable;
        item.m_strWhy = strWhy;
        item.m_entries.clear();
        item.m_nSteps = 1;
    }

    /// Reads the folder @p folder (known on disk as @p id) and its entries.
    void Walk(UploadPlan::Item& folder, FileIdentity id)
    {
        QList<LocalTree::Entry> entries;
        QString strWhy;
        // A folder that cannot be read is reported, never made an empty remote folder.
        if (!LocalTree::ReadFolder(folder.m_strPath, entries, strWhy)) {
            Unsendable(folder, strWhy);
            return;
        }
        folder.m_kind = UploadPlan::Kind::Folder;
        folder.m_id = id;
        folder.m_nSteps = 0;
        m_stack.push_back(id);
        folder.m_entries.reserve(size_t(entries.size()));
        for (const LocalTree::Entry& entry : entries) {
            if (m_report.IsCancelled())
                break;
            UploadPlan::Item item;
            item.m_strPath = entry.m_strPath;
            item.m_strName = entry.m_strName;
            struct stat st { };
            switch (entry.m_kind) {
            case LocalTree::Kind::File:
                if (::lstat(item.m_strPath.constData(), &st) != 0) {
                    Unsendable(item, QString::fromLocal8Bit(std::strerror(errno)));
                    break;
                }
                item.m_kind = UploadPlan::Kind::File;
                item.m_id = FileIdentity::Of(st);
                item.m_nSteps = 1;
                break;
            case LocalTree::Kind::Folder:
                if (::lstat(item.m_strPath.constData(), &st) != 0)
                    Unsendable(item, QString::fromLocal8Bit(std::strerror(errno)));
                else
                    Walk(item, FileIdentity::Of(st));
                break;
            case LocalTree::Kind::Link: Follow(item); break;
            case LocalTree::Kind::Other: Unsendable(item, entry.m_strWhy); break;
            }
            folder.m_nSteps += item.m_nSteps;
            folder.m_entries.push_back(std::move(item));
        }
        m_stack.pop_back();
    }

    /// A link inside the dropped folder: followed only to what lies inside it.
    void Follow(UploadPlan::Item& link)
    {
        const QByteArray strTarget = RealPath(link.m_strPath);
        if (strTarget.isEmpty()) {
            Unsendable(link,
                errno == ENOENT ? QCoreApplication::translate("UploadPlan", "It is a link that leads nowhere.")
                                : QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        if (!LocalPath::IsInside(strTarget, m_strRoot)) {
            Unsendable(link,
                QCoreApplication::translate("UploadPlan", "It is a link to %1, outside the dropped folder.")
                    .arg(LocalFile::Display(strTarget)));
            return;
        }
        struct stat st { };
        if (::stat(link.m_strPath.constData(), &st) != 0) {
            Unsendable(link, QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        if (S_ISREG(st.st_mode)) {
            link.m_kind = UploadPlan::Kind::File;
            link.m_id = FileIdentity::Of(st);
            link.m_nSteps = 1;
            return;
        }
        if (!S_ISDIR(st.st_mode)) {
            Unsendable(link, LocalTree::NotAFileText());
            return;
        }
        const FileIdentity id = FileIdentity::Of(st);
        for (const FileIdentity& walking : m_stack) {
            if (walking == id) {
                Unsendable(link,
                    QCoreApplication::translate(
                        "UploadPlan", "It is a link back to %1, a folder that holds it: a loop.")
                        .arg(LocalFile::Display(strTarget)));
                return;
            }
        }
        if (!m_followed.insert(id).second) {
            Unsendable(link,
                QCoreApplication::translate(
                    "UploadPlan", "It is a link to %1, a folder sent already through another link.")
                    .arg(LocalFile::Display(strTarget)));
            return;
        }
        Walk(link, id);
    }

    const TransferReport& m_report;
    std::set<FileIdentity>& m_followed; // folders walked through a link so far
    QByteArray m_strRoot; // the dropped folder's real path
    std::vector<FileIdentity> m_stack; // the folders the walk is in, outermost first
};

} // namespace

UploadPlan UploadPlan::Make(const QList<QByteArray>& paths, const TransferReport& report)
{
    UploadPlan plan;
    std::set<FileIdentity> followed;
    plan.m_items.reserve(size_t(paths.size()));
    for (const QByteArray& strPath : paths) {
        if (report.IsCancelled())
            break;
        const LocalTree::Entry entry = LocalTree::Classify(strPath);
        Item item;
        item.m_strPath = entry.m_strPath;
        item.m_strName = entry.m_strName;
        item.m_nSteps = 1;
        if (entry.m_kind == LocalTree::Kind::File) {
            item.m_kind = Kind::File;
            // A dropped link is what it leads to.
            if (struct stat st { }; ::stat(item.m_strPath.constData(), &st) == 0)
                item.m_id = FileIdentity::Of(st);
        } else if (entry.m_kind == LocalTree::Kind::Folder) {
            FolderWalk walk(report, followed);
            walk.WalkDropped(item);
        } else {
            item.m_strWhy = entry.m_strWhy;
        }
        plan.m_items.push_back(std::move(item));
    }
    return plan;
}

int UploadPlan::Steps() const
{
    int nSteps = 0;
    for (const Item& item : m_items)
        nSteps += item.m_nSteps;
    return nSteps;
}
