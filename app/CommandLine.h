#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

/// What the command line asks of the program.
enum class CommandLineRequest {
    Run, // open the window; the arguments are paths to upload
    Usage, // print the usage and end: the only argument is --help or -h
    Version, // print the version and end: the only argument is --version
};

/// What @p arguments (those after the program name) ask for. Only a lone
/// "--help", "-h" or "--version" is an option; with anything beside it, it is
/// a path like every other argument.
CommandLineRequest CommandLineRequestOf(const QStringList& arguments);

/// The program's version, as the build gives it: "1.02".
QString ProgramVersion();

/// What --version prints: "tarnlow 1.02" and a line end.
QString VersionText();

/// What --help prints: the arguments, where the settings live, and the help
/// page @p strHelpPath.
QString UsageText(const QString& strHelpPath);

/// Collects the command-line arguments into one text, joined by single spaces.
class TarnlowCommandLineInfo {
public:
    /// The arguments seen so far; empty when constructed.
    QString m_strFileName;

    /// Appends @p strParam to m_strFileName: it becomes m_strFileName when that
    /// is empty, otherwise it follows one space. @p bFlag (the argument began with
    /// '-' or '/') and @p bLast (it is the last argument) do not matter here.
    void ParseParam(const QString& strParam, bool bFlag, bool bLast);
};

/// Passes each of @p arguments (those after the program name) to
/// info.ParseParam() in order. An argument whose first character is '-' counts
/// as a switch and loses that character, so "-name" contributes "name". '/'
/// marks a switch only where it is not the path separator: on Linux an absolute
/// path such as "/tmp/x" arrives whole.
void ParseCommandLine(const QStringList& arguments, TarnlowCommandLineInfo& info);

/// Splits the joined argument text into paths: while the remainder has its
/// first space somewhere after its first character, the text before that space
/// is one path and is removed together with the space; a non-empty remainder is
/// then the last path, spaces included. Paths are not trimmed, tested or
/// de-duplicated.
QStringList SplitCommandLinePaths(const QString& strJoined);

/// The paths to upload from @p arguments (those after the program name, as the
/// bytes the program was given: a path is the bytes the system knows it by,
/// whether or not they are valid text). An argument that names an existing
/// file or folder and does not begin with a switch character is one path,
/// spaces included, as a desktop launcher passes dropped files. Each run of
/// consecutive other arguments (missing, empty, or switches) is joined by
/// ParseCommandLine() and split by SplitCommandLinePaths() on its own, so it
/// never takes a neighbour apart. The paths keep the order of the arguments,
/// and their bytes.
QList<QByteArray> CommandLinePaths(const QList<QByteArray>& arguments);
