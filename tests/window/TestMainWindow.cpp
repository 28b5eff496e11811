// The main window under the offscreen platform: start-up, the site panes, the
// busy/idle switch, Quit, and the settings it loads and saves.

#include "app/AboutDlg.h"
#include "app/HelpFile.h"
#include "app/TransferAnimation.h"
#include "app/TransferDoneDlg.h"
#include "app/Translations.h"
#include "support/OrdinaryUser.h"
#include "support/WindowFixture.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QUrl>

#include <algorithm>
#include <functional>
#include <sys/stat.h>

class TestMainWindow : public WindowTest {
    Q_OBJECT

    static SiteProfile Profile(
        const char* pszAddress, const char* pszUser, const char* pszPassword, const char* pszDirectory = "")
    {
        return SiteProfile {
            QByteArray(pszAddress), QByteArray(pszUser), QByteArray(pszPassword), QByteArray(pszDirectory)};
    }

    static bool WritePage(const QString& strPath, const char* pszTitle, const QByteArray& body)
    {
        QFile page(strPath);
        const QByteArray html
            = "<html><head><title>" + QByteArray(pszTitle) + "</title></head><body>" + body + "</body></html>";
        return page.open(QIODevice::WriteOnly | QIODevice::Truncate) && page.write(html) == html.size();
    }

    /// The main window's help windows, shown or not.
    QList<QWidget*> HelpWindows() const
    {
        return m_fixture.m_pDlg->findChildren<QWidget*>(QStringLiteral("HelpWindow"), Qt::FindDirectChildrenOnly);
    }

    static QTextBrowser* HelpBrowser(const QWidget& window) { return window.findChild<QTextBrowser*>(); }

    /// A click on the middle of the link that reads @p strText.
    static bool ClickLink(QTextBrowser& browser, const QString& strText)
    {
        const QTextCursor found = browser.document()->find(strText);
        if (found.isNull())
            return false;
        QTextCursor inside(browser.document());
        inside.setPosition((found.selectionStart() + found.selectionEnd()) / 2);
        browser.ensureCursorVisible();
        QTest::mouseClick(browser.viewport(), Qt::LeftButton, {}, browser.cursorRect(inside).center());
        return true;
    }

    /// What is wrong with how @p window lays out its controls in the font it
    /// draws with: a window that does not draw with the desktop's font, a
    /// control that draws with another font than the window's
    /// (its dialog units come from that one), a control that runs out of its
    /// parent, two controls of one window or pane that overlap (a group box
    /// holds the controls inside its rectangle), a text that does not fit its
    /// label, button, field or tab.
    static QStringList LayoutFaults(const QWidget& window)
    {
        const auto Name = [](const QWidget* pWidget) {
            QString strName = QLatin1String(pWidget->metaObject()->className()) + u' ' + pWidget->objectName();
            if (auto* pLabel = qobject_cast<const QLabel*>(pWidget))
                strName += u'"' + pLabel->text().left(20) + u'"';
            return strName;
        };
        const auto Size = [](QSize size) { return QStringLiteral("%1x%2").arg(size.width()).arg(size.height()); };
        const QFontInfo measured(window.font());
        const QFontInfo desktop(QApplication::font());
        QStringList faults;
        if (measured.family() != desktop.family() || measured.pointSizeF() != desktop.pointSizeF())
            faults << QStringLiteral("drawn with %1 %2 pt, not with the desktop's font")
                          .arg(measured.family())
                          .arg(measured.pointSizeF());
        std::function<void(const QWidget&)> walk = [&](const QWidget& parent) {
            QList<const QWidget*> shown;
            for (const QWidget* pChild : parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (pChild->isWindow() || !pChild->isVisibleTo(&window))
                    continue;
                shown << pChild;
                const QSize size = pChild->size();
                if (!parent.rect().contains(pChild->geometry()))
                    faults << QStringLiteral("%1 (%2 at %3,%4) runs out of %5 (%6)")
                                  .arg(Name(pChild), Size(size))
                                  .arg(pChild->x())
                                  .arg(pChild->y())
                                  .arg(Name(&parent), Size(parent.size()));
                const QFontInfo drawn(pChild->font());
                if (drawn.family() != measured.family() || drawn.pointSizeF() != measured.pointSizeF())
                    faults << QStringLiteral("%1 draws with %2 %3 pt")
                                  .arg(Name(pChild), drawn.family())
                                  .arg(drawn.pointSizeF());
                const QFontMetrics metrics = pChild->fontMetrics();
                QSize needed; // what the control's text or picture needs
                if (auto* pLabel = qobject_cast<const QLabel*>(pChild)) {
                    if (pLabel->wordWrap())
                        needed = QSize(
                            metrics.boundingRect(QRect(QPoint(), size), Qt::TextWordWrap, pLabel->text()).width(),
                            pLabel->heightForWidth(size.width()));
                    // A picture scaled to its box, and the transfer clip: centred
                    // in its box as designed, taller than it at small fonts.
                    else if (!pLabel->hasScaledContents() && !qobject_cast<const TransferAnimation*>(pChild))
                        needed = pLabel->sizeHint();
                } else if (auto* pButton = qobject_cast<const QPushButton*>(pChild)) {
                    QStyleOptionButton option;
                    option.initFrom(pButton);
                    if (pButton->isDefault())
                        option.features |= QStyleOptionButton::DefaultButton;
                    if (pButton->autoDefault())
                        option.features |= QStyleOptionButton::AutoDefaultButton;
                    const QRect inside
                        = pButton->style()->subElementRect(QStyle::SE_PushButtonContents, &option, pButton);
                    needed = QSize(metrics.horizontalAdvance(QString(pButton->text()).remove(u'&')), metrics.height())
                        + size - inside.size();
                } else if (auto* pEdit = qobject_cast<const QLineEdit*>(pChild)) {
                    needed = QSize(0, pEdit->minimumSizeHint().height());
                } else if (auto* pTabs = qobject_cast<const QTabBar*>(pChild)) {
                    needed = pTabs->sizeHint();
                    for (int i = 0; i < pTabs->count(); ++i)
                        if (!pTabs->rect().contains(pTabs->tabRect(i)))
                            faults << QStringLiteral("tab \"%1\" runs out of its bar").arg(pTabs->tabText(i));
                }
                if (needed.width() > size.width() || needed.height() > size.height())
                    faults << QStringLiteral("%1 is cut (%2 for %3)").arg(Name(pChild), Size(size), Size(needed));
                walk(*pChild);
            }
            // Only the controls a window or pane places itself; a composite
            // control arranges its own parts.
            if (!qobject_cast<const QDialog*>(&parent) && !qobject_cast<const TabPane*>(&parent))
                return;
            for (int i = 0; i < shown.size(); ++i) {
                for (int j = i + 1; j < shown.size(); ++j) {
                    const QRect a = shown[i]->geometry();
                    const QRect b = shown[j]->geometry();
                    const bool bHeld = (qobject_cast<const QGroupBox*>(shown[i]) && a.contains(b))
                        || (qobject_cast<const QGroupBox*>(shown[j]) && b.contains(a));
                    if (a.intersects(b) && !bHeld)
                        faults << QStringLiteral("%1 overlaps %2").arg(Name(shown[i]), Name(shown[j]));
                }
            }
        };
        walk(window);
        for (QString& strFault : faults)
            strFault.prepend(window.objectName() + QStringLiteral(": "));
        return faults;
    }

private slots:
    void cleanup()
    {
        WindowTest::cleanup();
        // A file left where the settings folder belongs by the test that blocks it.
        QFile::remove(TarnlowDlg::SettingsDirectory());
        QCOMPARE(m_fixture.m_host.PendingCount(), 0); // every queued answer was used
    }

    void ControlsCarryTheirIdsTextsAndOrder()
    {
        TarnlowDlg& dlg = m_fixture.Open();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Tarnlow"));
        // The icon at every size the desktop's theme has, for the frame, the
        // task switcher and the dock to pick from.
        QList<int> iconSizes;
        for (const QSize& size : dlg.windowIcon().availableSizes())
            iconSizes << size.width();
        std::sort(iconSizes.begin(), iconSizes.end());
        QCOMPARE(iconSizes, (QList<int> {16, 24, 32, 48, 64, 128, 256}));
        struct Expected {
            const char* m_pszName;
            int m_nId;
            const char* m_pszText;
        };
        const Expected buttons[] = {
            {"m_btnQuit", 1, "&Quit"},
            {"m_btnAbout", 1007, "&About"},
            {"m_btnHelp", 57670, "&Help"},
            {"m_btnRefresh", 57672, "&Refresh"},
            {"m_btnHome", 57675, "H&ome"},
            {"m_btnDelete", 57671, "&Delete File(s)"},
            {"m_btnDownload", 57674, "Do&wnload"},
            {"m_btnBrowse", 57673, "&Browse"},
        };
        for (const Expected& e : buttons) {
            auto* pButton = m_fixture.Control<QPushButton>(e.m_pszName);
            QVERIFY2(pButton, e.m_pszName);
            QCOMPARE(pButton->property("controlId").toInt(), e.m_nId);
            QCOMPARE(pButton->text(), QString::fromLatin1(e.m_pszText));
        }
        QVERIFY(m_fixture.Control<QPushButton>("m_btnQuit")->isDefault());
        QCOMPARE(m_fixture.Control<QListView>("m_remoteList")->property("controlId").toInt(), 1009);
        QCOMPARE(m_fixture.Control<QTabWidget>("m_tab")->property("controlId").toInt(), 1000);
        QCOMPARE(m_fixture.Control<QProgressBar>("m_progress")->property("controlId").toInt(), 1016);

        auto* pTab = m_fixture.Control<QTabWidget>("m_tab");
        const QStringList labels = {QStringLiteral("FTP Site 1 (Default)"), QStringLiteral("FTP Site 2"),
            QStringLiteral("FTP Site 3"), QStringLiteral("FTP Site 4"), QStringLiteral("FTP Site 5")};
        QCOMPARE(pTab->count(), 5);
        for (int i = 0; i < 5; ++i)
            QCOMPARE(pTab->tabText(i), labels[i]);

        QStringList groups;
        for (auto* pGroup : dlg.findChildren<QGroupBox*>())
            groups << pGroup->title();
        QVERIFY(groups.contains(QStringLiteral("Ftp Site Selection")));
        QVERIFY(groups.contains(QStringLiteral("Directory Listing")));
        QStringList labelsShown;
        for (auto* pLabel : dlg.findChildren<QLabel*>())
            labelsShown << pLabel->text();
        for (const char* pszLabel : {"Download Path", "Now Transferring:", "Files Transfered:", "FTP Address",
                 "Username", "Password", "Directory"})
            QVERIFY2(labelsShown.contains(QString::fromLatin1(pszLabel)), pszLabel);

        // The keyboard walks the buttons in template order.
        m_fixture.Control<QPushButton>("m_btnQuit")->setFocus();
        QTRY_VERIFY(m_fixture.Control<QPushButton>("m_btnQuit")->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_VERIFY(m_fixture.Control<QPushButton>("m_btnAbout")->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_VERIFY(m_fixture.Control<QPushButton>("m_btnHelp")->hasFocus());

        // Fixed size: a maximise request changes nothing.
        const QSize size = dlg.size();
        dlg.setWindowState(Qt::WindowMaximized);
        QTRY_VERIFY(!(dlg.windowState() & Qt::WindowMaximized));
        QCOMPARE(dlg.size(), size);
    }

    void ScreenReadersHearEveryControlByName()
    {
        TarnlowDlg& dlg = m_fixture.Open();
        // What a screen reader finds when it walks the window's accessible tree.
        struct Heard {
            QString m_strName;
            QAccessible::Role m_role;
            bool m_bProtected;
        };
        QHash<const QObject*, Heard> heard;
        QStringList nameless;
        int nVisited = 0;
        std::function<void(QAccessibleInterface*, int)> walk = [&](QAccessibleInterface* pNode, int nDepth) {
            if (!pNode || nDepth > 20 || ++nVisited > 5000)
                return;
            const QString strName = pNode->text(QAccessible::Name);
            const QAccessible::Role role = pNode->role();
            if (pNode->object())
                heard.insert(pNode->object(), Heard {strName, role, bool(pNode->state().passwordEdit)});
            // Every field and button is heard by a name, and never with its mnemonic marker.
            if ((role == QAccessible::EditableText || role == QAccessible::PushButton)
                && (strName.isEmpty() || strName.contains(u'&')))
                nameless << QStringLiteral("%1 \"%2\"")
                                .arg(pNode->object() ? pNode->object()->objectName() : QStringLiteral("?"), strName);
            for (int i = 0; i < pNode->childCount(); ++i)
                walk(pNode->child(i), nDepth + 1);
        };
        walk(QAccessible::queryAccessibleInterface(&dlg), 0);
        QVERIFY2(nameless.isEmpty(), qPrintable(nameless.join(QStringLiteral(", "))));

        struct Expected {
            const QObject* m_pControl;
            const char* m_pszName;
            QAccessible::Role m_role;
        };
        QList<Expected> expected = {
            {m_fixture.Control<QPushButton>("m_btnQuit"), "Quit", QAccessible::PushButton},
            {m_fixture.Control<QPushButton>("m_btnAbout"), "About", QAccessible::PushButton},
            {m_fixture.Control<QPushButton>("m_btnHelp"), "Help", QAccessible::PushButton},
            {m_fixture.Control<QPushButton>("m_btnRefresh"), "Refresh", QAccessible::PushButton},
            {m_fixture.Control<QPushButton>("m_btnHome"), "Home", QAccessible::PushButton},
            {m_fixture.Control<QPushButton>("m_btnDelete"), "Delete File(s)", QAccessible::PushButton},
            {m_fixture.Control<QPushButton>("m_btnDownload"), "Download", QAccessible::PushButton},
            {m_fixture.Control<QPushButton>("m_btnBrowse"), "Browse", QAccessible::PushButton},
            {m_fixture.Control<QListView>("m_remoteList"), "Directory Listing", QAccessible::List},
            {m_fixture.Control<QLineEdit>("m_editDownloadPath"), "Download Path", QAccessible::EditableText},
            {m_fixture.Control<QLineEdit>("m_editTransferName"), "Now Transferring:", QAccessible::EditableText},
            {m_fixture.Control<QProgressBar>("m_progress"), "Files Transfered:", QAccessible::ProgressBar},
            {m_fixture.Control<QLineEdit>("m_editPercent"), "Percent Transferred", QAccessible::EditableText},
        };
        const char* const tabs[] = {"FTP Site 1 (Default)", "FTP Site 2", "FTP Site 3", "FTP Site 4", "FTP Site 5"};
        for (int i = 0; i < 5; ++i) {
            TabPane& pane = dlg.Pane(i);
            expected += {
                {&pane, tabs[i], QAccessible::Client},
                {pane.m_editAddress, "FTP Address", QAccessible::EditableText},
                {pane.m_editUsername, "Username", QAccessible::EditableText},
                {pane.m_editPassword, "Password", QAccessible::EditableText},
                {pane.m_editDirectory, "Directory", QAccessible::EditableText},
            };
        }
        for (const Expected& e : expected) {
            QVERIFY2(heard.contains(e.m_pControl), e.m_pszName);
            const Heard& h = heard[e.m_pControl];
            QCOMPARE(h.m_strName, QString::fromLatin1(e.m_pszName));
            QCOMPARE(h.m_role, e.m_role);
            // Only the password fields say they hide what is typed.
            QCOMPARE(h.m_bProtected, e.m_pControl->objectName() == QLatin1String("m_editPassword"));
        }
    }

    void LayoutFollowsTheFontInUse_data()
    {
        QTest::addColumn<QString>("family"); // empty: the platform's own font
        QTest::addColumn<int>("points");
        QTest::addColumn<qreal>("scale"); // QT_SCALE_FACTOR the row runs under
        // Fonts a platform theme gives some classes of controls, as KDE's does.
        QTest::addColumn<bool>("classFonts");
        QTest::addColumn<QString>("language"); // of the texts; empty for English
        const QString strEnglish;
        QTest::newRow("default font") << QString() << 0 << 1.0 << false << strEnglish;
        QTest::newRow("DejaVu Sans Condensed 8")
            << QStringLiteral("DejaVu Sans Condensed") << 8 << 1.0 << false << strEnglish;
        QTest::newRow("Cantarell 11") << QStringLiteral("Cantarell") << 11 << 1.0 << false << strEnglish;
        QTest::newRow("DejaVu Serif 14") << QStringLiteral("DejaVu Serif") << 14 << 1.0 << false << strEnglish;
        QTest::newRow("Cantarell 11, class fonts") << QStringLiteral("Cantarell") << 11 << 1.0 << true << strEnglish;
        QTest::newRow("default font at 2x") << QString() << 0 << 2.0 << false << strEnglish;
        QTest::newRow("Cantarell 11 at 2x") << QStringLiteral("Cantarell") << 11 << 2.0 << false << strEnglish;
        // Translated texts are longer than the English ones in the same boxes:
        // the German buttons at every font, the French and Spanish tabs.
        const QString strGerman = QStringLiteral("de");
        QTest::newRow("default font, German") << QString() << 0 << 1.0 << false << strGerman;
        QTest::newRow("DejaVu Sans Condensed 8, German")
            << QStringLiteral("DejaVu Sans Condensed") << 8 << 1.0 << false << strGerman;
        QTest::newRow("Cantarell 11, German") << QStringLiteral("Cantarell") << 11 << 1.0 << false << strGerman;
        QTest::newRow("DejaVu Serif 14, German") << QStringLiteral("DejaVu Serif") << 14 << 1.0 << false << strGerman;
        QTest::newRow("Cantarell 11 at 2x, German") << QStringLiteral("Cantarell") << 11 << 2.0 << false << strGerman;
        QTest::newRow("default font, French") << QString() << 0 << 1.0 << false << QStringLiteral("fr");
        QTest::newRow("default font, Spanish") << QString() << 0 << 1.0 << false << QStringLiteral("es");
    }

    void LayoutFollowsTheFontInUse()
    {
        QFETCH(QString, family);
        QFETCH(int, points);
        QFETCH(qreal, scale);
        QFETCH(bool, classFonts);
        QFETCH(QString, language);
        if (scale != 1.0 && !qEnvironmentVariableIsSet("QT_SCALE_FACTOR")) {
            // The scale factor is read when the application starts: this row
            // runs again in a program of its own.
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(scale));
            child.setProcessEnvironment(environment);
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("LayoutFollowsTheFontInUse:%1").arg(QString::fromUtf8(QTest::currentDataTag()))});
            const bool bEnded = child.waitForFinished(120000);
            if (!bEnded) {
                child.kill();
                child.waitForFinished(5000);
            }
            const QByteArray output = child.readAll();
            QVERIFY2(bEnded && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, output.constData());
            QVERIFY2(output.contains("PASS   : TestMainWindow::LayoutFollowsTheFontInUse("), output.constData());
            return;
        }
        QCOMPARE(qApp->devicePixelRatio(), scale);

        const QFont platformFont = QApplication::font();
        const auto restore = qScopeGuard([&] { QApplication::setFont(platformFont); });
        if (!family.isEmpty()) {
            // As a desktop's font setting reaches the program.
            QApplication::setFont(QFont(family, points));
            QVERIFY2(QFontInfo(QApplication::font()).family() == family,
                qPrintable(family + QStringLiteral(" is not installed (scripts/install-deps.sh --tests)")));
        }
        if (classFonts) {
            // Setting the application's font again (above, when the row ends) forgets them.
            for (const char* pszClass :
                {"QPushButton", "QLabel", "QLineEdit", "QGroupBox", "QTabBar", "QListView", "QProgressBar"})
                QApplication::setFont(QFont(QStringLiteral("DejaVu Serif"), 7), pszClass);
        }

        Translations translations(language.isEmpty() ? QStringList() : QStringList {language});
        QCOMPARE(translations.Language(), language);
        translations.Install();

        TarnlowDlg& dlg = m_fixture.Open();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QStringList faults = LayoutFaults(dlg);
        AboutDlg about(&dlg);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        faults += LayoutFaults(about);
        TransferDoneDlg done(&dlg);
        done.show();
        QVERIFY(QTest::qWaitForWindowExposed(&done));
        faults += LayoutFaults(done);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("\n"))));
    }

    void FirstStartShowsEmptyPanesAndSavesTwentyZeroBytes()
    {
        TarnlowDlg& dlg = m_fixture.Open();
        QCOMPARE(m_fixture.m_host.PromptCount(), 0);
        QCOMPARE(m_fixture.Control<QLineEdit>("m_editPercent")->text(), QStringLiteral("0%"));
        QVERIFY(!m_fixture.Control<QListView>("m_remoteList")->isEnabled());
        QVERIFY(!dlg.IsSlotBusy()); // no listing for an incomplete site
        for (int i = 0; i < 5; ++i) {
            TabPane& pane = dlg.Pane(i);
            for (QLineEdit* pEdit :
                {pane.m_editAddress, pane.m_editUsername, pane.m_editPassword, pane.m_editDirectory})
                QVERIFY(pEdit->text().isEmpty());
        }
        QCOMPARE(dlg.ActivePane(), &dlg.Pane(0));
        QVERIFY(dlg.Pane(0).isVisible());
        QCOMPARE(dlg.Pane(0).m_editPassword->echoMode(), QLineEdit::Password);

        m_fixture.Close();
        QCOMPARE(m_fixture.SettingsFileBytes(), QByteArray(20, '\0'));
        QFile file(m_fixture.SettingsFilePath());
        QCOMPARE(file.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
            QFileDevice::Permissions());
    }

    void ValidationReportsTheFirstMissingFieldAndFocusesIt()
    {
        TarnlowDlg& dlg = m_fixture.Open();
        TabPane& pane = dlg.Pane(0);
        struct Step {
            QLineEdit* m_pFill; // filled before the check
            const char* m_pszMessage;
            QLineEdit* m_pFocus;
        };
        const Step steps[] = {
            {nullptr, "You must supply the FTP Internet address", pane.m_editAddress},
            {pane.m_editAddress, "You must supply the FTP username", pane.m_editUsername},
            {pane.m_editUsername, "You must supply the FTP password", pane.m_editPassword},
        };
        for (const Step& step : steps) {
            if (step.m_pFill)
                step.m_pFill->setText(QStringLiteral("x"));
            m_fixture.m_host.ExpectMessage(QString::fromLatin1(step.m_pszMessage));
            QVERIFY(!dlg.ValidateSite(true));
            m_fixture.VerifyLastPrompt(QStringLiteral("ERROR"), MsgIcon::Exclamation);
            QTRY_VERIFY(step.m_pFocus->hasFocus());
        }
        // Blanks are not empty, and an empty directory is allowed.
        pane.m_editPassword->setText(QStringLiteral(" "));
        QVERIFY(dlg.ValidateSite(true));
        QVERIFY(dlg.ValidateSite(false));
    }

    void TypedTextSurvivesTabSwitchesAndIsSaved()
    {
        TarnlowDlg& dlg = m_fixture.Open();
        auto* pTab = m_fixture.Control<QTabWidget>("m_tab");
        pTab->setCurrentIndex(1);
        QCOMPARE(dlg.ActivePane(), &dlg.Pane(1));
        QTest::keyClicks(dlg.Pane(1).m_editAddress, QStringLiteral("ftp.example"));
        QTest::keyClicks(dlg.Pane(1).m_editDirectory, QStringLiteral("/pub"));
        pTab->setCurrentIndex(2);
        pTab->setCurrentIndex(1);
        QCOMPARE(dlg.Pane(1).m_editAddress->text(), QStringLiteral("ftp.example"));
        QVERIFY(!m_fixture.Control<QListView>("m_remoteList")->isEnabled());
        m_fixture.Close();

        QByteArray expected(4, '\0');
        expected += QByteArray("\x0b"
                               "ftp.example"
                               "\x00\x00\x04/pub",
            1 + 11 + 2 + 5);
        expected += QByteArray(12, '\0');
        QCOMPARE(m_fixture.SettingsFileBytes(), expected);
    }

    void StoredBytesSurviveARunUnchanged()
    {
        // A password byte 0xE9 written elsewhere, an address byte that is not UTF-8.
        std::array<SiteProfile, 5> profiles;
        profiles[0] = Profile("", "", "");
        profiles[1] = SiteProfile {QByteArray("h\xff"
                                              "st"),
            QByteArray("us\xe9r"), QByteArray("p\xe9\x4b\x00w", 5), QByteArray("/d\xe9")};
        profiles[4] = Profile("a", "b", "c", "d");
        // Longer than a line edit holds by default: the longest 16-bit length,
        // and one that takes the 32-bit length.
        profiles[2].m_strDirectory = QByteArray(65534, 'd');
        profiles[3].m_strAddress = QByteArray(100000, 'a');
        m_fixture.WriteProfiles(profiles);
        const QByteArray before = m_fixture.SettingsFileBytes();

        TarnlowDlg& dlg = m_fixture.Open();
        QCOMPARE(dlg.Pane(1).m_strPassword, QByteArray("p\xe9\x4b\x00w", 5));
        auto* pTab = m_fixture.Control<QTabWidget>("m_tab");
        pTab->setCurrentIndex(3);
        pTab->setCurrentIndex(0);
        dlg.ReadAllPanes();
        m_fixture.Close();
        QCOMPARE(m_fixture.SettingsFileBytes(), before);
    }

    void DamagedSettingsLoadWhatIsWhole()
    {
        std::array<SiteProfile, 5> profiles;
        profiles[0] = Profile("first", "user", "secret", "/dir");
        profiles[1] = Profile("second", "u2", "p2");
        m_fixture.WriteProfiles(profiles);
        QByteArray bytes = m_fixture.SettingsFileBytes();
        // Keep site 1 whole (23 bytes), then claim a 4 GiB address for site 2.
        bytes.truncate(23);
        bytes += QByteArray("\xff\xff\xff\xff\xff\xff\xff"
                            "abc",
            10);
        QFile file(m_fixture.SettingsFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();

        // The user is told, and the original bytes are kept beside the file
        // before the save at exit writes what could be read.
        const QString strKept = m_fixture.SettingsFilePath() + QStringLiteral(".damaged");
        m_fixture.m_host.ExpectMessage({});
        TarnlowDlg& dlg = m_fixture.Open();
        m_fixture.VerifyLastPrompt(QStringLiteral("ERROR"), MsgIcon::Exclamation);
        QVERIFY(m_fixture.m_host.LastPrompt().m_strText.contains(strKept));
        QCOMPARE(dlg.Pane(0).m_editAddress->text(), QStringLiteral("first"));
        QCOMPARE(dlg.Pane(0).m_editPassword->text(), QStringLiteral("secret"));
        QCOMPARE(dlg.Pane(0).m_editDirectory->text(), QStringLiteral("/dir"));
        QVERIFY(dlg.Pane(1).m_editAddress->text().isEmpty());
        QVERIFY(dlg.Pane(4).m_editAddress->text().isEmpty());
        m_fixture.Close();
        QFile kept(strKept);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), bytes);
        QVERIFY(m_fixture.SettingsFileBytes().startsWith(bytes.left(23)));
        QVERIFY(QFile::remove(strKept));

        // Damaged while the window is open: kept again before the save, and the
        // user told at exit where.
        m_fixture.Open();
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
        file.close();
        m_fixture.m_host.ExpectMessage({});
        m_fixture.Close();
        m_fixture.VerifyLastPrompt(QStringLiteral("ERROR"), MsgIcon::Exclamation);
        QVERIFY(m_fixture.m_host.LastPrompt().m_strText.contains(strKept));
        QFile keptAgain(strKept);
        QVERIFY(keptAgain.open(QIODevice::ReadOnly));
        QCOMPARE(keptAgain.readAll(), bytes);
        QVERIFY(QFile::remove(strKept));
    }

    void UnreadableSettingsAreMovedAsideNeverReplaced()
    {
        // As after one run under sudo: a file the user cannot read, in the
        // user's own folder.
        const QString strPath = m_fixture.SettingsFilePath();
        const QByteArray stored("\x04keep\x02me\x03xyz\x00", 13);
        QVERIFY(QDir().mkpath(TarnlowDlg::SettingsDirectory()));
        QFile file(strPath);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(stored) == stored.size());
        file.close();
        QCOMPARE(::chmod(QFile::encodeName(strPath).constData(), ::geteuid() == 0 ? 0600 : 0), 0);
        const QByteArray strFolder = QFile::encodeName(TarnlowDlg::SettingsDirectory());
        QCOMPARE(::chown(strFolder.constData(), OrdinaryUser::Uid(), gid_t(-1)), 0);
        QCOMPARE(::chmod(QFile::encodeName(QFileInfo(TarnlowDlg::SettingsDirectory()).path()).constData(), 0711), 0);

        const QString strAside = strPath + QStringLiteral(".unreadable");
        m_fixture.m_host.ExpectMessage({});
        TarnlowDlg* pDlg = nullptr;
        {
            OrdinaryUser user;
            pDlg = &m_fixture.Open();
        }
        m_fixture.VerifyLastPrompt(QStringLiteral("ERROR"), MsgIcon::Exclamation);
        QVERIFY(m_fixture.m_host.LastPrompt().m_strText.contains(strAside));
        QVERIFY(pDlg->Pane(0).m_editAddress->text().isEmpty());

        // What the user types now is saved in a new file; the old one keeps its bytes.
        QTest::keyClicks(pDlg->Pane(0).m_editAddress, QStringLiteral("new"));
        m_fixture.Close();
        QVERIFY(m_fixture.SettingsFileBytes().startsWith(QByteArray("\x03new")));
        QVERIFY(QFile::setPermissions(strAside, QFile::ReadOwner | QFile::WriteOwner));
        QFile aside(strAside);
        QVERIFY(aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll(), stored);
        aside.close();

        // Unreadable once more: moved aside beside the first kept copy, which
        // keeps its bytes.
        const QByteArray saved = m_fixture.SettingsFileBytes();
        QCOMPARE(::chmod(QFile::encodeName(strPath).constData(), ::geteuid() == 0 ? 0600 : 0), 0);
        const QString strSecondAside = strAside + QStringLiteral("-2");
        m_fixture.m_host.ExpectMessage({});
        {
            OrdinaryUser user;
            m_fixture.Open();
        }
        QVERIFY(m_fixture.m_host.LastPrompt().m_strText.contains(strSecondAside));
        m_fixture.Close();
        QVERIFY(QFile::setPermissions(strSecondAside, QFile::ReadOwner | QFile::WriteOwner));
        QFile secondAside(strSecondAside);
        QVERIFY(secondAside.open(QIODevice::ReadOnly));
        QCOMPARE(secondAside.readAll(), saved);
        QVERIFY(aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll(), stored);
        QVERIFY(QFile::remove(strSecondAside));
        QVERIFY(QFile::remove(strAside));

        // When it cannot even be moved (the folder is read-only for the user),
        // the save at exit is refused, and says so, rather than replace it.
        QVERIFY(QFile::remove(strPath));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(stored) == stored.size());
        file.close();
        QCOMPARE(::chmod(QFile::encodeName(strPath).constData(), ::geteuid() == 0 ? 0600 : 0), 0);
        QCOMPARE(::chmod(strFolder.constData(), 0500), 0);
        m_fixture.m_host.ExpectMessage({});
        {
            OrdinaryUser user;
            m_fixture.Open();
        }
        QVERIFY(m_fixture.m_host.LastPrompt().m_strText.contains(QStringLiteral("will not be replaced")));
        m_fixture.m_host.ExpectMessage(QStringLiteral("The site profiles could not be saved."));
        m_fixture.Close();
        QCOMPARE(::chmod(strFolder.constData(), 0700), 0);
        QCOMPARE(::chown(strFolder.constData(), ::geteuid(), gid_t(-1)), 0);
        QVERIFY(QFile::setPermissions(strPath, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(m_fixture.SettingsFileBytes(), stored);
    }

    void EscapeSavesProfilesAndDownloadPath()
    {
        m_fixture.WriteDownloadPath(QStringLiteral("/old/place"));
        TarnlowDlg& dlg = m_fixture.Open();
        QCOMPARE(m_fixture.Control<QLineEdit>("m_editDownloadPath")->text(), QStringLiteral("/old/place"));
        QTest::keyClicks(dlg.Pane(0).m_editAddress, QStringLiteral("host"));
        auto* pPath = m_fixture.Control<QLineEdit>("m_editDownloadPath");
        pPath->setText(QStringLiteral("/new/place"));
        QTest::keyClick(pPath, Qt::Key_Escape);
        QTRY_VERIFY(!dlg.isVisible());
        m_fixture.Close();
        QCOMPARE(m_fixture.StoredDownloadPath(), QStringLiteral("/new/place"));
        QVERIFY(m_fixture.SettingsFileBytes().startsWith(QByteArray("\x04host")));
    }

    void QuitAsksAndNoChangesNothing()
    {
        TarnlowDlg& dlg = m_fixture.Open();
        auto* pQuit = m_fixture.Control<QPushButton>("m_btnQuit");
        m_fixture.m_host.ExpectMessage(QStringLiteral("Quit the Tarnlow program?"), MsgAnswer::No);
        QTest::mouseClick(pQuit, Qt::LeftButton);
        m_fixture.VerifyLastPrompt(QStringLiteral("Quit Confirm"), MsgIcon::Question, MsgButtons::YesNo);
        QVERIFY(dlg.isVisible());
        QVERIFY(!QFile::exists(m_fixture.SettingsFilePath()));

        m_fixture.m_host.ExpectMessage(QStringLiteral("Quit the Tarnlow program?"), MsgAnswer::Yes);
        QTest::mouseClick(pQuit, Qt::LeftButton);
        QTRY_VERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(QFile::exists(m_fixture.SettingsFilePath()));
    }

    void EnterAsksToQuitOnlyOutsideThePanes()
    {
        TarnlowDlg& dlg = m_fixture.Open();
        // Inside a pane, Enter and Escape do nothing.
        QTest::keyClick(dlg.Pane(0).m_editAddress, Qt::Key_Return);
        QTest::keyClick(dlg.Pane(0).m_editAddress, Qt::Key_Escape);
        QVERIFY(dlg.isVisible());
        QVERIFY(dlg.Pane(0).isVisible());
        QCOMPARE(m_fixture.m_host.PromptCount(), 0);

        // In the window's own field, Enter reaches Quit.
        m_fixture.m_host.ExpectMessage(QStringLiteral("Quit the Tarnlow program?"), MsgAnswer::No);
        QTest::keyClick(m_fixture.Control<QLineEdit>("m_editDownloadPath"), Qt::Key_Return);
        QCOMPARE(m_fixture.m_host.PromptCount(), 1);
        QVERIFY(dlg.isVisible());
    }

    void BusyStateLocksTheWindowAndIdleRestoresIt()
    {
        TarnlowDlg& dlg = m_fixture.Open();
        dlg.SetIdle(false);
        QVERIFY(!dlg.IsIdle());
        QVERIFY(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
        for (const char* pszName : {"m_btnRefresh", "m_btnHome", "m_btnDelete", "m_btnDownload", "m_btnBrowse"})
            QVERIFY2(!m_fixture.Control<QPushButton>(pszName)->isEnabled(), pszName);
        for (const char* pszName : {"m_btnQuit", "m_btnAbout", "m_btnHelp"})
            QVERIFY2(m_fixture.Control<QPushButton>(pszName)->isEnabled(), pszName);
        QVERIFY(!m_fixture.Control<QTabWidget>("m_tab")->isEnabled());
        QVERIFY(m_fixture.Control<QLineEdit>("m_editDownloadPath")->isReadOnly());
        QVERIFY(dlg.Pane(0).m_editAddress->isReadOnly());
        QVERIFY(dlg.Pane(0).m_editDirectory->isReadOnly());

        // A drop is refused while busy.
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QDir::tempPath())});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dlg, &enter);
        QVERIFY(!enter.isAccepted());

        dlg.SetIdle(true); // never connected: no listing, no completion dialog
        QVERIFY(dlg.IsIdle());
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(m_fixture.Control<QPushButton>("m_btnRefresh")->isEnabled());
        QVERIFY(m_fixture.Control<QTabWidget>("m_tab")->isEnabled());
        QVERIFY(!dlg.Pane(0).m_editAddress->isReadOnly());
        QVERIFY(!m_fixture.Control<QLineEdit>("m_editDownloadPath")->isReadOnly());
        QDragEnterEvent enterAgain(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dlg, &enterAgain);
        QVERIFY(enterAgain.isAccepted());
        QCOMPARE(m_fixture.Control<QLineEdit>("m_editPercent")->text(), QStringLiteral("0%"));
    }

    void CommandLinePathsWithAnIncompleteSiteAreDropped()
    {
        m_fixture.WriteSite(0, QByteArray(), QByteArray("user"), QByteArray("pw"));
        // Checked when the window starts: exactly one message, nothing uploaded or listed.
        m_fixture.m_host.ExpectMessage(QStringLiteral("You must supply the FTP Internet address"));
        TarnlowDlg& dlg = m_fixture.Open({QFile::encodeName(QDir::tempPath())});
        QCOMPARE(m_fixture.m_host.PromptCount(), 1);
        QVERIFY(dlg.PendingUploadPaths().isEmpty());
        QVERIFY(!dlg.IsSlotBusy());
    }

    void AboutAndHelp()
    {
        m_fixture.Open();
        QString strTitle, strVersion, strNotice;
        m_fixture.m_host.ExpectDialog(QDialog::Accepted, [&](QDialog& about) {
            strTitle = about.windowTitle();
            strVersion = about.findChild<QLabel*>(QStringLiteral("m_staticVersion"))->text();
            if (auto* pNotice = about.findChild<QLabel*>(QStringLiteral("m_staticNotice")))
                strNotice = pNotice->text();
        });
        QTest::mouseClick(m_fixture.Control<QPushButton>("m_btnAbout"), Qt::LeftButton);
        QCOMPARE(strTitle, QStringLiteral("About Tarnlow"));
        QCOMPARE(strVersion, QStringLiteral("Tarnlow Version 1.02"));
        // The copyright line as the manual page gives it, and the licence with where to read it.
        for (const char* pszPart : {"Copyright \u00A9 2026 Tarnlow maintainers", "ABSOLUTELY NO WARRANTY",
                 "GPL-3.0-or-later", "https://www.gnu.org/licenses/gpl-3.0.html"})
            QVERIFY2(strNotice.contains(QString::fromUtf8(pszPart)), pszPart);

        // The help page beside the executable is shown when there is one (a
        // build folder), otherwise the installed page; when that is missing too,
        // the user is told where it was looked for.
        const QDir programDir(QCoreApplication::applicationDirPath());
        const QString strBeside = programDir.filePath(QStringLiteral("tarnlow.html"));
        QFile::remove(strBeside);
        const QString strInstalled = HelpFile::Path(programDir.path());
        QVERIFY(strInstalled.endsWith(QStringLiteral("/share/tarnlow/tarnlow.html")));
        QVERIFY(!QFile::exists(strInstalled));
        QCOMPARE(HelpFile::Places(programDir.path()), (QStringList {strBeside, strInstalled}));
        auto* pHelp = m_fixture.Control<QPushButton>("m_btnHelp");
        m_fixture.m_host.ExpectMessage({});
        QTest::mouseClick(pHelp, Qt::LeftButton);
        m_fixture.VerifyLastPrompt(QStringLiteral("Tarnlow Help"), MsgIcon::Exclamation);
        QVERIFY(m_fixture.m_host.LastPrompt().m_strText.contains(strBeside));
        QVERIFY(m_fixture.m_host.LastPrompt().m_strText.contains(strInstalled));
        QVERIFY(HelpWindows().isEmpty());
        QVERIFY(m_fixture.m_host.OpenedUrls().isEmpty()); // nothing is handed to the desktop

        // The installed page's folders are made here and removed again afterwards.
        const QString strShare = QDir::cleanPath(QFileInfo(strInstalled).path() + QStringLiteral("/.."));
        QVERIFY(!QFileInfo::exists(strShare));
        QVERIFY(QDir().mkpath(QFileInfo(strInstalled).path()));
        const auto cleanUp = qScopeGuard([&] {
            QFile::remove(strBeside);
            QDir(strShare).removeRecursively();
        });
        QVERIFY(WritePage(strInstalled, "Installed Help", "<p>Installed text</p>"));
        QTest::mouseClick(pHelp, Qt::LeftButton);
        QCOMPARE(HelpWindows().size(), 1);
        QPointer<QWidget> pWindow = HelpWindows().first();
        QVERIFY(pWindow->isVisible());
        QCOMPARE(pWindow->windowTitle(), QStringLiteral("Installed Help"));
        QVERIFY(HelpBrowser(*pWindow)->toPlainText().contains(QStringLiteral("Installed text")));

        // Help again brings the same window to the front.
        QVERIFY(WritePage(strBeside, "Beside Help", "<p>Beside text</p>"));
        m_fixture.m_pDlg->activateWindow();
        QTRY_VERIFY(m_fixture.m_pDlg->isActiveWindow());
        QTest::mouseClick(pHelp, Qt::LeftButton);
        QCOMPARE(HelpWindows(), (QList<QWidget*> {pWindow.data()}));
        QTRY_VERIFY(pWindow->isActiveWindow());
        QCOMPARE(pWindow->windowTitle(), QStringLiteral("Installed Help"));

        // Once closed by the user, Help shows the page anew, from beside the program.
        pWindow->close();
        QTest::mouseClick(pHelp, Qt::LeftButton);
        QCOMPARE(HelpWindows().size(), 1);
        pWindow = HelpWindows().first();
        QVERIFY(pWindow->isVisible());
        QCOMPARE(pWindow->windowTitle(), QStringLiteral("Beside Help"));
        QVERIFY(m_fixture.m_host.OpenedUrls().isEmpty());

        // It goes when the main window closes.
        QTest::keyClick(m_fixture.Control<QLineEdit>("m_editDownloadPath"), Qt::Key_Escape);
        QTRY_VERIFY(!m_fixture.m_pDlg->isVisible());
        QVERIFY(!pWindow);
    }

    void HelpPageLinks()
    {
        // Links inside the page scroll the help window; links that leave it go to
        // the desktop; any other link does nothing.
        const QString strBeside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tarnlow.html"));
        const auto cleanUp = qScopeGuard([&] { QFile::remove(strBeside); });
        QString strBody = QStringLiteral("<p><a href=\"#far\">far below</a> <a href=\"https://example.org/guide\">web "
                                         "page</a> <a href=\"mailto:help@example.org\">mail us</a> <a "
                                         "href=\"file:///etc/passwd\">local file</a> <a "
                                         "href=\"javascript:alert(1)\">script</a></p>");
        for (int i = 0; i < 200; ++i)
            strBody += QStringLiteral("<p>Filler line %1</p>").arg(i);
        strBody += QStringLiteral("<h2 id=\"far\">Far</h2><p>The end.</p>");
        QVERIFY(WritePage(strBeside, "Links", strBody.toUtf8()));
        TarnlowDlg& dlg = m_fixture.Open();
        m_fixture.Control<QPushButton>("m_btnHelp")->click();
        QCOMPARE(HelpWindows().size(), 1);
        QTextBrowser* pBrowser = HelpBrowser(*HelpWindows().first());
        QVERIFY(QTest::qWaitForWindowExposed(HelpWindows().first()));
        const QUrl page = pBrowser->source();
        QCOMPARE(page, QUrl::fromLocalFile(strBeside));

        struct Link {
            const char* m_pszText;
            const char* m_pszOpened; // handed to the desktop; null: nothing is
            bool m_bScrolls;
        };
        const Link links[] = {
            {"far below", nullptr, true},
            {"web page", "https://example.org/guide", false},
            {"mail us", "mailto:help@example.org", false},
            {"local file", nullptr, false},
            {"script", nullptr, false},
        };
        QScrollBar* pScroll = pBrowser->verticalScrollBar();
        for (const Link& link : links) {
            pScroll->setValue(0);
            QVERIFY2(ClickLink(*pBrowser, QString::fromLatin1(link.m_pszText)), link.m_pszText);
            const QList<QUrl> opened = m_fixture.m_host.OpenedUrls();
            m_fixture.m_host.Clear();
            QCOMPARE(
                opened, link.m_pszOpened ? QList<QUrl> {QUrl(QString::fromLatin1(link.m_pszOpened))} : QList<QUrl> {});
            QCOMPARE(pScroll->value() > 0, link.m_bScrolls);
            QCOMPARE(pBrowser->source(), page);
            QVERIFY(pBrowser->toPlainText().contains(QStringLiteral("The end.")));
        }

        // A desktop without a browser: the user is told, and the page stays.
        m_fixture.m_host.SetOpenUrlResult(false);
        m_fixture.m_host.ExpectMessage(QStringLiteral("No program was found to open https://example.org/guide."));
        QVERIFY(ClickLink(*pBrowser, QStringLiteral("web page")));
        m_fixture.VerifyLastPrompt(QStringLiteral("Tarnlow Help"), MsgIcon::Exclamation);
        QCOMPARE(pBrowser->source(), page);
        QVERIFY(dlg.isVisible());
    }

    void FailedSaveIsReportedAndTheWindowStillCloses()
    {
        std::array<SiteProfile, 5> profiles;
        profiles[0] = Profile("keep", "me", "safe");
        m_fixture.WriteProfiles(profiles);
        TarnlowDlg& dlg = m_fixture.Open();
        dlg.Pane(0).m_editAddress->setText(QStringLiteral("changed"));
        // The folder is replaced by a plain file, so nothing can be written there.
        QDir(TarnlowDlg::SettingsDirectory()).removeRecursively();
        QFile blocker(TarnlowDlg::SettingsDirectory());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        m_fixture.m_host.ExpectMessage(QStringLiteral("The site profiles could not be saved."));
        m_fixture.Close();
        m_fixture.VerifyLastPrompt(QStringLiteral("ERROR"), MsgIcon::Exclamation);
    }
};

TARNLOW_WINDOW_TEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
