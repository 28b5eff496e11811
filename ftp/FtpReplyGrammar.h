#pragma once

#include <QByteArray>

/// Which replies can answer each command the engine sends: RFC 959 section 5.4
/// ("Command-Reply Sequences"), with RFC 2389 (FEAT, OPTS), RFC 2428 (EPRT) and
/// RFC 3659 (SIZE, MLSD) for the commands they add.
///
/// Every reply is judged by it, in every mode, before it is filed to the command
/// it would answer (the oldest one still open). A reply the command cannot get
/// at that point belongs to another command: the server is out of step with the
/// commands, and nothing it says on that connection can be trusted any more.
///
/// Refusals (4xx, 5xx) may end any command: a refusal never passes anything,
/// and real servers use many more refusal codes than the RFC lists for each
/// command. What the table keeps apart are the replies that let an operation
/// pass, and the preliminary replies that only a transfer opens with.
namespace FtpReplyGrammar {

enum class Fit {
    Preliminary, ///< a 1xx the command opens with; its final reply is still to come
    Final, ///< the command's last reply: a success or a refusal
    OutOfStep, ///< no reply this command can get at this point: it is another command's
};

/// How a reply of @p nCode fits @p strVerb after @p nPreliminary preliminary
/// replies of its own. A transfer (STOR, RETR, LIST, MLSD) succeeds only after
/// one of its own preliminary replies; any other command never gets one.
Fit Judge(const QByteArray& strVerb, int nCode, int nPreliminary);

/// True for the commands that move data over a data connection.
bool IsTransfer(const QByteArray& strVerb);

} // namespace FtpReplyGrammar
