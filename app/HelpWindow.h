#pragma once

#include <QWidget>

class DialogHost;
class QTextBrowser;
class QUrl;

/// The help page in a window of the program's own, so that Help works on a
/// desktop without a browser.
///
/// A link inside the page scrolls to its place; a link that leaves it (a web
/// page, a mail address) goes to the desktop's browser or mail program through
/// the DialogHost, and the user is told when nothing took it. Any other link
/// (another file, a script) is ignored. The window is a window of its owner,
/// so it stays usable while the owner runs modally, and goes with it.
class HelpWindow : public QWidget {
    Q_OBJECT

public:
    /// Loads the page at @p strPage, scrolled to its top (the contents).
    HelpWindow(DialogHost& dialogHost, const QString& strPage, QWidget* pOwner);

    /// Shows the window in front of the others and gives it the keyboard,
    /// restored if it was minimised.
    void Present();

private:
    void OnAnchorClicked(const QUrl& url);

    DialogHost& m_dialogHost;
    QTextBrowser* m_browser = nullptr;
};
