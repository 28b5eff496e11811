#pragma once

#include "sites/SiteProfile.h"

#include <QWidget>

class QLineEdit;

/// The pane of one site: four labelled fields over the site's byte strings.
///
/// The strings stay bytes: PushFields shows them as text and remembers what it
/// showed, and PullFields takes a field's text back as bytes only when the user
/// changed it, so a stored byte that is not valid text survives untouched.
class TabPane : public QWidget, public SiteProfile {
    Q_OBJECT

public:
    explicit TabPane(QWidget* pParent = nullptr);

    /// Copies the texts of the four fields into the four strings.
    void PullFields();
    /// Shows the four strings in the four fields.
    void PushFields();
    /// Read-only while a transfer runs.
    void SetFieldsReadOnly(bool bReadOnly);

    QLineEdit* m_editAddress = nullptr;
    QLineEdit* m_editUsername = nullptr;
    QLineEdit* m_editPassword = nullptr;
    QLineEdit* m_editDirectory = nullptr;

protected:
    /// Enter and Escape typed inside a pane do nothing (they never reach the window).
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    struct Shown {
        QByteArray m_bytes; // the string as it was when pushed
        QString m_strText; // the text the field was given for it
    };
    static void Push(QLineEdit* pEdit, const QByteArray& bytes, Shown& shown);
    static void Pull(const QLineEdit* pEdit, QByteArray& bytes, const Shown& shown);

    Shown m_shownAddress, m_shownUsername, m_shownPassword, m_shownDirectory;
};
