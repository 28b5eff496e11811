#include "ftp/FtpCommandQueue.h"

#include "ftp/FtpReplyGrammar.h"

#include <algorithm>

FtpCommandQueue::CommandId FtpCommandQueue::Push(const QByteArray& strVerb, bool bDiscard)
{
    Command command;
    command.m_nId = m_nNextId++;
    command.m_strVerb = strVerb;
    command.m_bDiscard = bDiscard;
    m_commands.push_back(std::move(command));
    return m_commands.back().m_nId;
}

void FtpCommandQueue::Written(std::int64_t nNowMs)
{
    for (Command& command : m_commands) {
        if (command.m_nWrittenMs < 0)
            command.m_nWrittenMs = nNowMs;
    }
}

std::deque<FtpCommandQueue::Command>::iterator FtpCommandQueue::FindOpen(std::deque<Command>::iterator from)
{
    return std::find_if(from, m_commands.end(), [](const Command& c) { return !c.m_bDone; });
}

FtpCommandQueue::Outcome FtpCommandQueue::File(const FtpReply& reply, std::int64_t nNowMs)
{
    auto it = FindOpen(m_commands.begin());
    if (it == m_commands.end())
        return {Filed::NoCommand, 0};
    FtpReplyGrammar::Fit fit = FtpReplyGrammar::Judge(it->m_strVerb, reply.m_nCode, it->m_nPreliminary);
    if (fit == FtpReplyGrammar::Fit::OutOfStep && it->m_strVerb == "FEAT" && reply.m_nCode == 200) {
        // FEAT that was never answered: NOOP's own 200 is the sign.
        const auto next = FindOpen(std::next(it));
        if (next != m_commands.end() && next->m_strVerb == "NOOP") {
            it->m_bDone = true;
            it->m_nAnsweredMs = nNowMs;
            it = next;
            fit = FtpReplyGrammar::Fit::Final;
        }
    }
    switch (fit) {
    case FtpReplyGrammar::Fit::OutOfStep: return {Filed::OutOfStep, it->m_nId};
    case FtpReplyGrammar::Fit::Preliminary:
        if (++it->m_nPreliminary > MaxPreliminaryReplies)
            return {Filed::Endless, it->m_nId};
        if (it->m_nPreliminary == 1)
            it->m_preliminary = reply;
        return {Filed::Preliminary, it->m_nId};
    case FtpReplyGrammar::Fit::Final: break;
    }
    it->m_bDone = true;
    it->m_reply = reply;
    it->m_nAnsweredMs = nNowMs;
    const Outcome outcome {Filed::Final, it->m_nId};
    if (it->m_bDiscard)
        m_commands.erase(it);
    return outcome;
}

const FtpCommandQueue::Command* FtpCommandQueue::Find(CommandId nId) const
{
    const auto it
        = std::find_if(m_commands.begin(), m_commands.end(), [nId](const Command& c) { return c.m_nId == nId; });
    return it == m_commands.end() ? nullptr : &*it;
}

bool FtpCommandQueue::Take(CommandId nId, Command& command)
{
    const auto it
        = std::find_if(m_commands.begin(), m_commands.end(), [nId](const Command& c) { return c.m_nId == nId; });
    if (it == m_commands.end() || !it->m_bDone)
        return false;
    command = std::move(*it);
    m_commands.erase(it);
    return true;
}

void FtpCommandQueue::DropIfAnswered(CommandId nId)
{
    std::erase_if(m_commands, [nId](const Command& c) { return c.m_nId == nId && c.m_bDone; });
}

std::size_t FtpCommandQueue::OpenCount() const
{
    return std::size_t(
        std::count_if(m_commands.begin(), m_commands.end(), [](const Command& c) { return !c.m_bDone; }));
}

const FtpCommandQueue::Command* FtpCommandQueue::OldestOpen() const
{
    const auto it = std::find_if(m_commands.begin(), m_commands.end(), [](const Command& c) { return !c.m_bDone; });
    return it == m_commands.end() ? nullptr : &*it;
}
