#include "app/HelpFile.h"

#include <QDir>
#include <QFileInfo>

// The installed page relative to the installed program, from GNUInstallDirs
// (app/CMakeLists.txt), for instance "../share/tarnlow/tarnlow.html".
#ifndef TARNLOW_HELP_FROM_BINDIR
#error "TARNLOW_HELP_FROM_BINDIR must be defined by the build"
#endif

namespace HelpFile {

QString Path(const QString& strProgramDir)
{
    const QDir programDir(strProgramDir);
    const QString strBeside = programDir.filePath(QStringLiteral("tarnlow.html"));
    if (QFileInfo::exists(strBeside))
        return strBeside;
    return QDir::cleanPath(programDir.filePath(QStringLiteral(TARNLOW_HELP_FROM_BINDIR)));
}

} // namespace HelpFile
