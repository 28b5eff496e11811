#pragma once

// Steps of the scripted test server (tests/ftpserver/scripted.py), for replies
// and faults no real server sends.

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

namespace ScriptSteps {

inline QJsonObject Send(const QByteArray& strBytes, int nCount = 1)
{
    QJsonObject step {{QStringLiteral("send"), QString::fromLatin1(strBytes)}};
    if (nCount > 1)
        step.insert(QStringLiteral("count"), nCount);
    return step;
}

inline QJsonObject Expect(const char* pVerb)
{
    return {{QStringLiteral("expect"), QLatin1String(pVerb)}};
}

/// Expect(), and the command must have been sent without waiting for the
/// replies the server has not sent yet.
inline QJsonObject ExpectAhead(const char* pVerb)
{
    return {{QStringLiteral("expect"), QLatin1String(pVerb)}, {QStringLiteral("ahead"), true}};
}

/// Expect(), and the server closes the connection when more commands follow at
/// once, as one that will not take commands sent ahead of their replies.
inline QJsonObject ExpectAlone(const char* pVerb)
{
    return {{QStringLiteral("expect"), QLatin1String(pVerb)}, {QStringLiteral("alone"), true}};
}

/// Sends @p strBytes over and over for @p nSeconds or until the client goes away.
inline QJsonObject Flood(const QByteArray& strBytes, int nSeconds)
{
    return {{QStringLiteral("flood"), QString::fromLatin1(strBytes)}, {QStringLiteral("seconds"), nSeconds}};
}

inline QJsonObject Hang()
{
    return {{QStringLiteral("hang"), true}};
}

/// The server connects to our PORT address from @p strFrom ("" for its own
/// address) and sends @p strPayload.
inline QJsonObject DataFrom(const QString& strFrom, const QByteArray& strPayload)
{
    return {{QStringLiteral("data_from"), strFrom}, {QStringLiteral("payload"), QString::fromLatin1(strPayload)}};
}

/// Greeting and a login that succeeds; FEAT offers SIZE only.
inline QJsonArray Login()
{
    return {Send("220 Ready\r\n"), Expect("USER"), Send("331 Password\r\n"), Expect("PASS"), Send("230 In\r\n"),
        Expect("FEAT"), Send("211-Features:\r\n SIZE\r\n211 End\r\n")};
}

/// Login(), and every command must come alone, one command at a time: the
/// server closes the connection on a command sent ahead of a reply.
inline QJsonArray LoginAlone()
{
    return {Send("220 Ready\r\n"), ExpectAlone("USER"), Send("331 Password\r\n"), ExpectAlone("PASS"),
        Send("230 In\r\n"), ExpectAlone("FEAT"), Send("211-Features:\r\n SIZE\r\n211 End\r\n")};
}

/// Login() without its greeting.
inline QJsonArray LoginAfterGreeting()
{
    QJsonArray steps = Login();
    steps.removeFirst();
    return steps;
}

inline QJsonArray operator+(QJsonArray first, const QJsonArray& second)
{
    for (const QJsonValue& value : second)
        first.append(value);
    return first;
}

/// The script as the server reads it: @p steps for every connection, or, when
/// its elements are lists of steps, one list for each connection in turn.
inline QByteArray Script(const QJsonArray& steps)
{
    if (!steps.isEmpty() && steps.first().isArray())
        return QJsonDocument(QJsonObject {{QStringLiteral("connections"), steps}}).toJson();
    return QJsonDocument(steps).toJson();
}

} // namespace ScriptSteps
