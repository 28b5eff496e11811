#pragma once

#include "ftp/FtpReplyReader.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <deque>

/// The commands sent on one control connection whose replies are not all taken
/// yet, oldest first, and the filing of every reply to the command it answers.
///
/// A server answers in the order the commands arrived, so each reply belongs to
/// the oldest command still open, and is filed there only when the reply
/// grammar (FtpReplyGrammar) lets that command get it at that point; otherwise
/// the stream is out of step. That holds whether one command or ten are on
/// their way. No socket: the control channel feeds it.
class FtpCommandQueue {
public:
    using CommandId = std::uint64_t;

    /// More preliminary replies than this for one command: a server that keeps
    /// answering without finishing (it would otherwise hold a wait open).
    static constexpr int MaxPreliminaryReplies = 16;

    struct Command {
        CommandId m_nId = 0;
        QByteArray m_strVerb;
        bool m_bDone = false; // its final reply is in
        bool m_bDiscard = false; // nobody waits for it: dropped once answered
        int m_nPreliminary = 0; // preliminary replies received
        FtpReply m_preliminary; // the first preliminary reply
        FtpReply m_reply; // the final reply, once in
        std::int64_t m_nWrittenMs = -1; // when it went out (a monotonic clock's milliseconds)
        std::int64_t m_nAnsweredMs = -1; // when its final reply came
    };

    enum class Filed {
        Preliminary, ///< a preliminary reply of the oldest open command
        Final, ///< the final reply of the oldest open command
        OutOfStep, ///< the reply cannot answer the oldest open command
        NoCommand, ///< no command is open
        Endless, ///< one preliminary reply too many
    };
    struct Outcome {
        Filed m_filed = Filed::NoCommand;
        CommandId m_nId = 0; // the command it was (or would have been) filed to
    };

    /// Adds a command sent (or about to be sent). With @p bDiscard nobody will
    /// take its reply: it goes once answered.
    CommandId Push(const QByteArray& strVerb, bool bDiscard = false);
    /// Marks every command not yet written as written at @p nNowMs.
    void Written(std::int64_t nNowMs);

    /// Files @p reply, received at @p nNowMs, to the oldest open command.
    ///
    /// One departure from strict order is known and safe: FEAT is optional,
    /// and a server that never answers it shows that by answering the NOOP
    /// sent after it (see FtpClientConnection); NOOP's 200 then closes FEAT
    /// unanswered (its reply code stays 0) and is NOOP's.
    Outcome File(const FtpReply& reply, std::int64_t nNowMs);

    const Command* Find(CommandId nId) const;
    /// Takes the final reply of @p nId out of the queue. False when it is not
    /// answered yet (it stays) or not there at all.
    bool Take(CommandId nId, Command& command);
    /// Drops @p nId when it is answered; an open command must stay, since its
    /// reply is still to come.
    void DropIfAnswered(CommandId nId);

    std::size_t OpenCount() const;
    /// The oldest command whose final reply is not in; null when none.
    const Command* OldestOpen() const;

private:
    std::deque<Command>::iterator FindOpen(std::deque<Command>::iterator from);

    std::deque<Command> m_commands;
    CommandId m_nNextId = 1;
};
