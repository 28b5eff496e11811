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

/// How the part file takes its name; each step is tried only where the file
/// system refuses the one before it (SMB/CIFS shares and some FUSE file
/// systems have neither a no-replace rename nor hard links).
enum class Method {
    RenameNoReplace, ///< renameat2 with RENAME_NOREPLACE, then the steps below
    LinkThenUnlink, ///< a hard link under the name, then the part name unlinked; then the step below
    CreateThenRename, ///< the name created exclusively, empty, then the part file renamed over it
};

/// Gives the part file @p strPartPath the name @p strFinalPath, never replacing
/// an entry of that name that appeared meanwhile. True when the file stands
/// under its name; otherwise the part file is removed, and @p pErrno (when
/// given) says why: EEXIST when the name was taken.
bool Place(const QByteArray& strPartPath, const QByteArray& strFinalPath, Method method = Method::RenameNoReplace,
    int* pErrno = nullptr);

} // namespace PartFile
