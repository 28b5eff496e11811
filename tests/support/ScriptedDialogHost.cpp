#include "support/ScriptedDialogHost.h"

#include <QDialog>

void ScriptedDialogHost::ExpectMessage(const QString& strExpectText, MsgAnswer answer)
{
    std::lock_guard lock(m_mutex);
    Answer a;
    a.m_strKind = QStringLiteral("message");
    a.m_strExpectText = strExpectText;
    a.m_answer = answer;
    m_answers.append(a);
}

void ScriptedDialogHost::ExpectDialog(int nResult, std::function<void(QDialog&)> inspect)
{
    std::lock_guard lock(m_mutex);
    Answer a;
    a.m_strKind = QStringLiteral("dialog");
    a.m_nResult = nResult;
    a.m_inspect = std::move(inspect);
    m_answers.append(a);
}

void ScriptedDialogHost::ExpectBrowse(const QString& strFolder)
{
    std::lock_guard lock(m_mutex);
    Answer a;
    a.m_strKind = QStringLiteral("browse");
    a.m_strFolder = strFolder;
    m_answers.append(a);
}

bool ScriptedDialogHost::TakeAnswer(const QString& strKind, Answer& answer, const QString& strWhat)
{
    std::lock_guard lock(m_mutex);
    if (m_answers.isEmpty() || m_answers.first().m_strKind != strKind) {
        m_failures.append(QStringLiteral("unexpected %1: %2").arg(strKind, strWhat));
        return false;
    }
    answer = m_answers.takeFirst();
    if (!answer.m_strExpectText.isEmpty() && answer.m_strExpectText != strWhat)
        m_failures.append(QStringLiteral("expected \"%1\", shown \"%2\"").arg(answer.m_strExpectText, strWhat));
    return true;
}

MsgAnswer ScriptedDialogHost::MessageBox(QWidget*, const QString& strText, const QString& strCaption, MsgIcon icon,
    MsgButtons buttons, const QString& strInformative)
{
    {
        std::lock_guard lock(m_mutex);
        m_prompts.append(Prompt {strCaption, strText, icon, buttons, QStringLiteral("message"), strInformative});
    }
    Answer answer;
    if (!TakeAnswer(QStringLiteral("message"), answer, strText))
        return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    if (buttons == MsgButtons::Ok)
        return MsgAnswer::Ok;
    return answer.m_answer == MsgAnswer::Yes ? MsgAnswer::Yes : MsgAnswer::No;
}

int ScriptedDialogHost::DoModal(QDialog& dialog)
{
    {
        std::lock_guard lock(m_mutex);
        m_prompts.append(Prompt {
            dialog.windowTitle(), QString(), MsgIcon::Exclamation, MsgButtons::Ok, QStringLiteral("dialog"), {}});
    }
    Answer answer;
    if (!TakeAnswer(QStringLiteral("dialog"), answer, dialog.windowTitle()))
        return QDialog::Rejected;
    if (answer.m_inspect)
        answer.m_inspect(dialog);
    return answer.m_nResult;
}

QString ScriptedDialogHost::BrowseForFolder(QWidget*, const QString& strTitle)
{
    {
        std::lock_guard lock(m_mutex);
        m_prompts.append(
            Prompt {strTitle, QString(), MsgIcon::Exclamation, MsgButtons::Ok, QStringLiteral("browse"), {}});
    }
    Answer answer;
    if (!TakeAnswer(QStringLiteral("browse"), answer, strTitle))
        return QString();
    return answer.m_strFolder;
}

bool ScriptedDialogHost::OpenUrl(const QUrl& url)
{
    std::lock_guard lock(m_mutex);
    m_urls.append(url);
    return m_bOpenResult;
}

QList<ScriptedDialogHost::Prompt> ScriptedDialogHost::Prompts() const
{
    std::lock_guard lock(m_mutex);
    return m_prompts;
}

int ScriptedDialogHost::PromptCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_prompts.size());
}

ScriptedDialogHost::Prompt ScriptedDialogHost::LastPrompt() const
{
    std::lock_guard lock(m_mutex);
    return m_prompts.isEmpty() ? Prompt {} : m_prompts.last();
}

int ScriptedDialogHost::PendingCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_answers.size());
}

QStringList ScriptedDialogHost::Failures() const
{
    std::lock_guard lock(m_mutex);
    return m_failures;
}

QList<QUrl> ScriptedDialogHost::OpenedUrls() const
{
    std::lock_guard lock(m_mutex);
    return m_urls;
}

void ScriptedDialogHost::Clear()
{
    std::lock_guard lock(m_mutex);
    m_answers.clear();
    m_prompts.clear();
    m_failures.clear();
    m_urls.clear();
    m_bOpenResult = true;
}
