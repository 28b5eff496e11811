#pragma once

#include <QString>
#include <QStringList>

/// Where the help page is found: beside the program in a build folder, in the
/// installation's data folder otherwise.
namespace HelpFile {

/// The places the help page of the program in @p strProgramDir is looked for,
/// in order: beside the program (a build folder), then the installed page,
/// <datadir>/tarnlow/tarnlow.html of the installation the program is part of
/// (found from @p strProgramDir, so an installation under any prefix finds its
/// own).
QStringList Places(const QString& strProgramDir);

/// The first of Places() that holds a readable page; the installed place when
/// none does, whether or not that file exists.
QString Path(const QString& strProgramDir);

} // namespace HelpFile
