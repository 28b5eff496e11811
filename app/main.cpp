#include "app/CommandLine.h"
#include "app/DialogHost.h"
#include "app/HelpFile.h"
#include "app/TarnlowApp.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>

namespace {

/// Prints the usage or the version; 0 when all of it reached stdout.
int PrintRequested(CommandLineRequest request)
{
    const QString strText = request == CommandLineRequest::Version
        ? VersionText()
        : UsageText(HelpFile::Path(QCoreApplication::applicationDirPath()));
    const QByteArray bytes = strText.toLocal8Bit();
    const bool bWritten = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    return bWritten && std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    // --help and --version are answered before a window's application exists,
    // so that they work where there is no display (a terminal over ssh, a script).
    QStringList rawArguments;
    for (int i = 1; i < argc; ++i)
        rawArguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLineRequest request = CommandLineRequestOf(rawArguments);
    if (request != CommandLineRequest::Run) {
        QCoreApplication app(argc, argv);
        return PrintRequested(request);
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Halvorn"));
    QApplication::setApplicationName(QStringLiteral("Tarnlow"));
    QApplication::setApplicationVersion(ProgramVersion());
    // The desktop entry's name, by which the desktop ties the window to its
    // menu entry and icon (and to the AppStream metadata of the same id).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tarnlow.Tarnlow"));

    QtDialogHost dialogHost;
    TarnlowApp theApp(dialogHost);
    // The paths are the bytes the program was given, as the system knows the
    // files by them: text made of them (QApplication::arguments()) replaces
    // bytes that are not UTF-8. The application has taken its own options
    // (-platform, say) out of argv by now.
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    return theApp.InitInstance(arguments);
}
