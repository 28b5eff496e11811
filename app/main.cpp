#include "app/CommandLine.h"
#include "app/DialogHost.h"
#include "app/HelpFile.h"
#include "app/TarnlowApp.h"
#include "app/Translations.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

namespace {

/// Writes @p strText whole to @p pStream; true when all of it got there.
bool WriteText(const QString& strText, std::FILE* pStream)
{
    const QByteArray bytes = strText.toLocal8Bit();
    const bool bWritten = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), pStream) == size_t(bytes.size());
    return bWritten && std::fflush(pStream) == 0;
}

/// Answers a request that opens no window: the usage, the version, or an
/// unknown option @p strOption. Returns the exit status.
int AnswerWithoutWindow(CommandLineRequest request, const QString& strOption)
{
    switch (request) {
    case CommandLineRequest::BadOption: WriteText(BadOptionText(strOption), stderr); return 2;
    case CommandLineRequest::Version: return WriteText(VersionText(), stdout) ? 0 : 1;
    default: return WriteText(UsageText(HelpFile::Path(QCoreApplication::applicationDirPath())), stdout) ? 0 : 1;
    }
}

/// A message of Qt's held back while the window system is being reached.
struct HeldMessage {
    QtMsgType m_type;
    QByteArray m_strFile;
    int m_nLine;
    QByteArray m_strFunction;
    QByteArray m_strCategory;
    QString m_strText;
};

std::mutex s_heldLock;
std::vector<HeldMessage> s_heldMessages;
/// The line HoldMessage() prints, in the user's language: looked up before the
/// window's application (and with it any installed catalogue) exists.
QByteArray s_strNoDisplay;

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& strText)
{
    if (type == QtFatalMsg) {
        // Qt ends the program after this message: it could not reach the window
        // system (no X11 or Wayland display, or no plugin that works with it).
        // Say so in one line, and end as a program that could not start does,
        // rather than in an abort with a core dump.
        std::fputs(s_strNoDisplay.constData(), stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    const std::lock_guard<std::mutex> lock(s_heldLock);
    s_heldMessages.push_back({type, context.file, context.line, context.function, context.category, strText});
}

/// The window's application. While it is being made, Qt's messages are held
/// back: should the window system be out of reach, they would only repeat in
/// Qt's words the one line HoldMessage() prints. Otherwise they are passed on
/// as they came once the application exists.
std::unique_ptr<QApplication> StartWindowSystem(int& argc, char** argv, const Translations& translations)
{
    s_strNoDisplay = translations
                         .Translate("main",
                             QT_TRANSLATE_NOOP("main",
                                 "tarnlow: cannot open the window: no X11 or Wayland display could be reached\n"))
                         .toLocal8Bit();
    const QtMessageHandler pPrevious = qInstallMessageHandler(HoldMessage);
    auto pApp = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(pPrevious);

    std::vector<HeldMessage> held;
    {
        const std::lock_guard<std::mutex> lock(s_heldLock);
        held.swap(s_heldMessages);
    }
    for (const HeldMessage& message : held) {
        const QMessageLogContext context(message.m_strFile.constData(), message.m_nLine,
            message.m_strFunction.constData(), message.m_strCategory.constData());
        qt_message_output(message.m_type, context, message.m_strText);
    }
    return pApp;
}

} // namespace

int main(int argc, char* argv[])
{
    // The options are answered before a window's application exists, so that
    // they work where there is no display (a terminal over ssh, a script). The
    // arguments are the bytes the program was given, as the system knows the
    // files by them: text made of them would replace bytes that are not UTF-8.
    QList<QByteArray> rawArguments;
    for (int i = 1; i < argc; ++i)
        rawArguments.append(QByteArray(argv[i]));
    const SortedArguments sorted = SortArguments(rawArguments);
    // The user's language, for every text from here on: the options' answers too.
    Translations translations;
    if (sorted.m_request != CommandLineRequest::Run) {
        QCoreApplication app(argc, argv);
        translations.Install();
        return AnswerWithoutWindow(sorted.m_request, sorted.m_strOption);
    }

    // Qt sees its own options only: it would take one of its names out of the
    // paths too, even after "--".
    std::vector<QByteArray> toolkitArguments {QByteArray(argv[0])};
    for (const QByteArray& strOption : sorted.m_toolkitOptions)
        toolkitArguments.push_back(strOption);
    std::vector<char*> toolkitArgv;
    for (QByteArray& argument : toolkitArguments)
        toolkitArgv.push_back(argument.data());
    toolkitArgv.push_back(nullptr);
    int nToolkitArgc = int(toolkitArguments.size());

    const std::unique_ptr<QApplication> pApp = StartWindowSystem(nToolkitArgc, toolkitArgv.data(), translations);
    translations.Install();
    QApplication::setOrganizationName(QStringLiteral("Halvorn"));
    QApplication::setApplicationName(QStringLiteral("Tarnlow"));
    QApplication::setApplicationVersion(ProgramVersion());
    // The desktop entry's name, by which the desktop ties the window to its
    // menu entry and icon (and to the AppStream metadata of the same id): it is
    // the window's app id under Wayland. Under X11 the window's class is the
    // application's name, "Tarnlow", which the entry names as StartupWMClass.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tarnlow.Tarnlow"));
    QApplication::setWindowIcon(TarnlowApp::ProgramIcon());

    QtDialogHost dialogHost;
    TarnlowApp theApp(dialogHost);
    return theApp.InitInstance(sorted.m_operands);
}
