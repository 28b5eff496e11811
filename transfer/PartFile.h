#pragma once

#include <QByteArray>
#include <QSet>

/// A download is received into a part file beside its own name and given that
/// name only once the whole file has arrived. A run that is killed or crashes
/// mid-file then leaves a file that says what it is (".NAME.tarnlow-part"),
/// never a cut-off file under the real name that later downloads would refuse
/// to replace. A part file that exists already (left by a killed run, or being
/// written by another window now) is never touched: the next number is taken.
/// Paths are bytes, as the system takes them.
namespace PartFile {

/// How many part names are tried for one name before the download gives up.
constexpr int kMaxAttempts = 100;

/// The part-file name of @p name for attempt @p nAttempt (from 1):
/// ".NAME.tarnlow-part", then ".NAME.2.tarnlow-part" and so on. NAME is
/// shortened, never inside a UTF-8 character, so that the whole stays within
/// @p nNameMax bytes.
QByteArray PartName(const QByteArray& name, int nAttempt, int nNameMax);

/// The path in @p strFolder of the first part name for @p name that no entry
/// takes now (a link that leads nowhere takes its name too) and that is none
/// of @p reserved (the names a download is about to write: a part file of one
/// of them must not stand in another's way); empty when all kMaxAttempts are
/// taken. The name is created by the fetch itself, exclusively.
QByteArray FreePath(const QByteArray& strFolder, const QByteArray& name, const QSet<QByteArray>& reserved = {});

/// True when an entry of that path exists; a link counts, wherever it leads.
bool Exists(const QByteArray& strPath);

enum class Method {
    RenameNoReplace, ///< renameat2 with RENAME_NOREPLACE, and link-then-unlink where the file system lacks it
    LinkThenUnlink, ///< the fallback alone
};

/// Gives the part file @p strPartPath the name @p strFinalPath, never replacing
/// an entry of that name that appeared meanwhile. True when the file stands
/// under its name; otherwise the part file is removed.
bool Place(const QByteArray& strPartPath, const QByteArray& strFinalPath, Method method = Method::RenameNoReplace);

} // namespace PartFile
