#include "ftp/FtpReplyGrammar.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace FtpReplyGrammar {
namespace {

/// One command: the preliminary replies it opens with, and the replies other
/// than refusals that complete it. 0 ends a list.
struct Row {
    std::string_view m_verb;
    std::array<int, 2> m_preliminary;
    std::array<int, 4> m_completion;
};

// clang-format off
constexpr Row kRows[] = {
    // verb     preliminary   completed by
    {"USER",    {},           {230, 331, 332, 202}}, // 202: no login needed at all
    {"PASS",    {},           {230, 202, 332}}, // 332: an account is asked for, which is not given
    {"FEAT",    {},           {211}},
    {"OPTS",    {},           {200, 202}}, // 202: the option is taken as given already
    {"TYPE",    {},           {200}},
    {"CWD",     {},           {250}},
    {"PWD",     {},           {257}},
    {"MKD",     {},           {257}},
    {"RMD",     {},           {250}},
    {"DELE",    {},           {250}},
    {"SIZE",    {},           {213}},
    {"PORT",    {},           {200}},
    {"EPRT",    {},           {200}},
    {"STOR",    {125, 150},   {226, 250, 225}},
    {"RETR",    {125, 150},   {226, 250, 225}},
    {"LIST",    {125, 150},   {226, 250, 225}},
    {"MLSD",    {125, 150},   {226, 250, 225}},
    {"NOOP",    {},           {200}},
    {"QUIT",    {},           {221}},
};
// clang-format on

const Row* Find(const QByteArray& strVerb)
{
    const std::string_view verb(strVerb.constData(), std::size_t(strVerb.size()));
    const auto it
        = std::find_if(std::begin(kRows), std::end(kRows), [&](const Row& row) { return row.m_verb == verb; });
    return it == std::end(kRows) ? nullptr : it;
}

template <std::size_t N> bool Holds(const std::array<int, N>& codes, int nCode)
{
    return nCode != 0 && std::find(codes.begin(), codes.end(), nCode) != codes.end();
}

} // namespace

bool IsTransfer(const QByteArray& strVerb)
{
    const Row* pRow = Find(strVerb);
    return pRow && pRow->m_preliminary[0] != 0;
}

Fit Judge(const QByteArray& strVerb, int nCode, int nPreliminary)
{
    // A refusal may end any command, before or after its preliminary reply.
    if (nCode >= 400 && nCode < 600)
        return Fit::Final;
    const Row* pRow = Find(strVerb);
    if (!pRow)
        return Fit::OutOfStep; // nothing is ever sent that the table lacks
    if (Holds(pRow->m_preliminary, nCode))
        return Fit::Preliminary;
    if (!Holds(pRow->m_completion, nCode))
        return Fit::OutOfStep;
    // A transfer that completes without having opened took another's reply.
    if (pRow->m_preliminary[0] != 0 && nPreliminary == 0)
        return Fit::OutOfStep;
    return Fit::Final;
}

} // namespace FtpReplyGrammar
