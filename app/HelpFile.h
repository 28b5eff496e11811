#pragma once

#include <QString>

/// Where the help page is found: beside the program in a build folder, in the
/// installation's data folder otherwise.
namespace HelpFile {

/// The help page for the program in @p strProgramDir: the page beside the
/// program when there is one (a build folder), otherwise the installed page,
/// <datadir>/tarnlow/tarnlow.html of the installation the program is part of
/// (found from @p strProgramDir, so an installation under any prefix finds its
/// own). The installed path is returned whether or not that file exists.
QString Path(const QString& strProgramDir);

} // namespace HelpFile
