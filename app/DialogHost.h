#pragma once

#include <QString>

class QDialog;
class QUrl;
class QWidget;

enum class MsgIcon {
    Exclamation, // warnings: validation, download folder, listing, delete
    Hand, // errors: connection and transfer failures
    Question, // questions: quit, delete
};

enum class MsgButtons { Ok, YesNo };

enum class MsgAnswer { Ok, Yes, No };

/// Every message box, modal dialog, folder chooser and link handed to the
/// desktop goes through this one interface, so that tests can answer them.
/// All calls happen on the window's thread.
class DialogHost {
public:
    virtual ~DialogHost() = default;

    /// Shows @p strText with @p strCaption; @p strInformative, when not empty, is
    /// shown below the text in smaller print: what caused a failure (a server's
    /// reply, the system's error, the path concerned). The default lets callers
    /// with no cause to give leave it out.
    virtual MsgAnswer MessageBox(QWidget* pOwner, const QString& strText, const QString& strCaption, MsgIcon icon,
        MsgButtons buttons, const QString& strInformative = {})
        = 0;
    /// Runs @p dialog modally and returns its result.
    virtual int DoModal(QDialog& dialog) = 0;
    /// A local folder chosen by the user, or an empty string when cancelled.
    virtual QString BrowseForFolder(QWidget* pOwner, const QString& strTitle) = 0;
    /// Hands a link that leaves the program (a web page, a mail address) to the
    /// desktop's browser or mail program; false when none took it.
    virtual bool OpenUrl(const QUrl& url) = 0;
};

/// The real thing: QMessageBox, QDialog::exec, QFileDialog, QDesktopServices.
class QtDialogHost : public DialogHost {
public:
    MsgAnswer MessageBox(QWidget* pOwner, const QString& strText, const QString& strCaption, MsgIcon icon,
        MsgButtons buttons, const QString& strInformative) override;
    int DoModal(QDialog& dialog) override;
    QString BrowseForFolder(QWidget* pOwner, const QString& strTitle) override;
    bool OpenUrl(const QUrl& url) override;
};
