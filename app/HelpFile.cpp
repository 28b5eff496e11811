#include "app/HelpFile.h"

#include <QDir>
#include <QFileInfo>

// The installed page relative to the installed program, from GNUInstallDirs
// (app/CMakeLists.txt), for instance "../share/tarnlow/tarnlow.html".
#ifndef TARNLOW_HELP_FROM_BINDIR
#error "TARNLOW_HELP_FROM_BINDIR must be defined by the build"
#endif

namespace HelpFile {

QStringList Places(const QString& strProgramDir)
{
    const QDir programDir(strProgramDir);
    return {programDir.filePath(QStringLiteral("tarnlow.html")),
        QDir::cleanPath(programDir.filePath(QStringLiteral(TARNLOW_HELP_FROM_BINDIR)))};
}

QString Path(const QString& strProgramDir)
{
    const QStringList places = Places(strProgramDir);
    for (const QString& strPlace : places) {
        const QFileInfo info(strPlace);
        if (info.isFile() && info.isReadable())
            return strPlace;
    }
    return places.last();
}

} // namespace HelpFile
