#include "app/HelpWindow.h"

#include "app/DialogHost.h"

#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

HelpWindow::HelpWindow(DialogHost& dialogHost, const QString& strPage, QWidget* pOwner)
    : QWidget(pOwner, Qt::Window)
    , m_dialogHost(dialogHost)
{
    setObjectName(QStringLiteral("HelpWindow"));
    if (pOwner)
        setWindowIcon(pOwner->windowIcon());

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("m_browser"));
    // Every link comes to OnAnchorClicked: the browser itself would try to load
    // a web address as a local page and lose the help.
    m_browser->setOpenLinks(false);
    m_browser->setOpenExternalLinks(false);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &HelpWindow::OnAnchorClicked);
    m_browser->setSource(QUrl::fromLocalFile(strPage));

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_browser);

    const QString strTitle = m_browser->documentTitle();
    setWindowTitle(strTitle.isEmpty() ? tr("Tarnlow Help") : strTitle);
    // About 100 characters a line and 45 lines in the window's font, within
    // the screen.
    const QFontMetrics metrics = m_browser->fontMetrics();
    QSize size(metrics.averageCharWidth() * 100, metrics.lineSpacing() * 45);
    if (const QScreen* pScreen = pOwner ? pOwner->screen() : nullptr)
        size = size.boundedTo(pScreen->availableSize() * 9 / 10);
    resize(size);
}

void HelpWindow::Present()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void HelpWindow::OnAnchorClicked(const QUrl& url)
{
    const QUrl page = m_browser->source();
    const QUrl target = page.resolved(url);
    if (target.adjusted(QUrl::RemoveFragment) == page.adjusted(QUrl::RemoveFragment)) {
        m_browser->scrollToAnchor(target.fragment(QUrl::FullyDecoded));
        return;
    }
    const QString strScheme = target.scheme();
    if (strScheme != QLatin1String("http") && strScheme != QLatin1String("https")
        && strScheme != QLatin1String("mailto"))
        return;
    if (!m_dialogHost.OpenUrl(target))
        m_dialogHost.MessageBox(this, tr("No program was found to open %1.").arg(target.toDisplayString()),
            tr("Tarnlow Help"), MsgIcon::Exclamation, MsgButtons::Ok);
}
