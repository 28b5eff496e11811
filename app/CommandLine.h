#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

/// What the command line asks of the program.
enum class CommandLineRequest {
    Run, // open the window; the arguments are paths to upload
    Usage, // print the usage and end: the first option is --help or -h
    Version, // print the version and licence and end: the first option is --version
    BadOption, // say so on standard error and end with status 2: the first option is unknown
};

/// The arguments after the program name, sorted the way GNU programs read them.
/// They stay the bytes the program was given: a path is the bytes the system
/// knows it by, whether or not they are valid text.
struct SortedArguments {
    CommandLineRequest m_request = CommandLineRequest::Run;
    QString m_strOption; // the option that decided the request, as text; empty for Run
    QList<QByteArray> m_toolkitOptions; // Qt's own options, each with its value: for the window's application
    QList<QByteArray> m_operands; // the other arguments in order, the "--" that ends the options left out
};

/// Sorts @p arguments (those after the program name, as bytes). An argument that begins
/// with '-' is an option, apart from "-" alone and from everything after the
/// first "--", which ends the options. The first option of Tarnlow's decides,
/// wherever it stands among the paths: "--help" or "-h" asks for the usage,
/// "--version" for the version, anything else is unknown (BadOption). Qt's own
/// options (-platform NAME, -style NAME, -session ID, ...), which a session
/// manager and a user's habits may pass, are set aside with their values for
/// the toolkit. Without an option of Tarnlow's the request is Run.
SortedArguments SortArguments(const QList<QByteArray>& arguments);

/// The program's version, as the build gives it: "1.02".
QString ProgramVersion();

/// What --version prints: "tarnlow 1.02", then the copyright and the licence
/// in the form GNU programs print them.
QString VersionText();

/// What --help prints: the options and arguments, the exit statuses, where the
/// settings live, and the help page @p strHelpPath.
QString UsageText(const QString& strHelpPath);

/// What an unknown option @p strOption prints on standard error: the option
/// named, and where to look.
QString BadOptionText(const QString& strOption);

/// Collects the command-line arguments into one text, joined by single spaces.
class TarnlowCommandLineInfo {
public:
    /// The arguments seen so far; empty when constructed.
    QString m_strFileName;

    /// Appends @p strParam to m_strFileName: it becomes m_strFileName when that
    /// is empty, otherwise it follows one space.
    void ParseParam(const QString& strParam);
};

/// Passes each of @p arguments to info.ParseParam() in order, as it stands.
void ParseCommandLine(const QStringList& arguments, TarnlowCommandLineInfo& info);

/// Splits the joined argument text into paths: while the remainder has its
/// first space somewhere after its first character, the text before that space
/// is one path and is removed together with the space; a non-empty remainder is
/// then the last path, spaces included. Paths are not trimmed, tested or
/// de-duplicated.
QStringList SplitCommandLinePaths(const QString& strJoined);

/// The paths to upload from @p operands (SortedArguments::m_operands of a
/// Run). An operand that names an existing file or folder is one path, spaces
/// included, as a desktop launcher passes dropped files. Each run of
/// consecutive other operands (missing or empty) is joined by
/// ParseCommandLine() and split by SplitCommandLinePaths() on its own, so it
/// never takes a neighbour apart. The paths keep the order of the operands,
/// and their bytes.
QList<QByteArray> CommandLinePaths(const QList<QByteArray>& operands);
