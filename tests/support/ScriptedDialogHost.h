#pragma once

#include "app/DialogHost.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <mutex>

/// A DialogHost for tests: answers come from a queue the test fills, and every
/// prompt is recorded. A prompt with no queued answer fails the running test
/// (and answers No / Ok), so an unexpected message box is never silent.
class ScriptedDialogHost : public DialogHost {
public:
    struct Prompt {
        QString m_strCaption;
        QString m_strText;
        MsgIcon m_icon = MsgIcon::Exclamation;
        MsgButtons m_buttons = MsgButtons::Ok;
        QString m_strKind; // "message", "dialog", "browse"
        QString m_strInformative; // a message's cause, shown below its text
    };

    /// Queues the answer to the next message box; @p strExpectText, when given,
    /// must be its text.
    void ExpectMessage(const QString& strExpectText, MsgAnswer answer = MsgAnswer::Ok);
    /// Queues the next modal dialog: it is inspected by @p inspect (may be empty)
    /// and ended with @p nResult.
    void ExpectDialog(int nResult = 1, std::function<void(QDialog&)> inspect = {});
    /// Queues the folder the next folder chooser returns.
    void ExpectBrowse(const QString& strFolder);

    /// Everything shown so far, in order.
    QList<Prompt> Prompts() const;
    int PromptCount() const;
    Prompt LastPrompt() const;
    /// Queued answers not used yet.
    int PendingCount() const;
    /// Failures recorded (unexpected prompts, text mismatches); empty when all went to plan.
    QStringList Failures() const;
    void Clear();
    /// The links handed to the desktop, in order; none is opened for real.
    QList<QUrl> OpenedUrls() const;
    /// Whether the desktop is to take the links handed to it (it does at first).
    void SetOpenUrlResult(bool bResult) { m_bOpenResult = bResult; }

    MsgAnswer MessageBox(QWidget* pOwner, const QString& strText, const QString& strCaption, MsgIcon icon,
        MsgButtons buttons, const QString& strInformative) override;
    int DoModal(QDialog& dialog) override;
    QString BrowseForFolder(QWidget* pOwner, const QString& strTitle) override;
    bool OpenUrl(const QUrl& url) override;

private:
    struct Answer {
        QString m_strKind;
        QString m_strExpectText;
        MsgAnswer m_answer = MsgAnswer::Ok;
        int m_nResult = 1;
        std::function<void(QDialog&)> m_inspect;
        QString m_strFolder;
    };
    bool TakeAnswer(const QString& strKind, Answer& answer, const QString& strWhat);

    mutable std::mutex m_mutex;
    QList<Answer> m_answers;
    QList<Prompt> m_prompts;
    QStringList m_failures;
    QList<QUrl> m_urls;
    bool m_bOpenResult = true;
};
