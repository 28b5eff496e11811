#include "app/TabPane.h"

#include "app/DialogUnits.h"
#include "sites/ByteText.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include <limits>

namespace {

struct FieldRow {
    const char* m_pszLabel;
    const char* m_pszObjectName;
    int m_nId;
    int m_nY;
};

// Rows in tab order: address, username, password, directory.
constexpr FieldRow kRows[] = {
    {QT_TRANSLATE_NOOP("TabPane", "FTP Address"), "m_editAddress", 1004, 16},
    {QT_TRANSLATE_NOOP("TabPane", "Username"), "m_editUsername", 1005, 39},
    {QT_TRANSLATE_NOOP("TabPane", "Password"), "m_editPassword", 1006, 62},
    {QT_TRANSLATE_NOOP("TabPane", "Directory"), "m_editDirectory", 1007, 85},
};

} // namespace

TabPane::TabPane(QWidget* pParent)
    : QWidget(pParent)
{
    setObjectName(QStringLiteral("TabPane"));
    // The pane is laid out before it joins the window: it takes the window's
    // font itself, so its fields are measured with the font they draw with.
    setFont(DialogUnits::DialogFont());
    const DialogUnits units(font());
    QLineEdit** edits[] = {&m_editAddress, &m_editUsername, &m_editPassword, &m_editDirectory};
    for (size_t i = 0; i < std::size(kRows); ++i) {
        auto* pLabel = new QLabel(tr(kRows[i].m_pszLabel), this);
        units.Place(pLabel, 24, kRows[i].m_nY + 4, 70, 8);
        auto* pEdit = new QLineEdit(this);
        pEdit->setObjectName(QString::fromLatin1(kRows[i].m_pszObjectName));
        pEdit->setProperty("controlId", kRows[i].m_nId);
        // A stored field may be far longer than a line edit's default limit of
        // 32,767 characters; cutting it would change it without any edit.
        pEdit->setMaxLength(std::numeric_limits<int>::max());
        units.Place(pEdit, 98, kRows[i].m_nY, 117, 16);
        // The label names its field, for screen readers too.
        pLabel->setBuddy(pEdit);
        *edits[i] = pEdit;
    }
    m_editPassword->setEchoMode(QLineEdit::Password);
    setTabOrder(m_editAddress, m_editUsername);
    setTabOrder(m_editUsername, m_editPassword);
    setTabOrder(m_editPassword, m_editDirectory);
}

void TabPane::Push(QLineEdit* pEdit, const QByteArray& bytes, Shown& shown)
{
    shown.m_bytes = bytes;
    shown.m_strText = ByteText::Display(bytes);
    pEdit->setText(shown.m_strText);
}

void TabPane::Pull(const QLineEdit* pEdit, QByteArray& bytes, const Shown& shown)
{
    const QString strText = pEdit->text();
    bytes = strText == shown.m_strText ? shown.m_bytes : ByteText::FromTyped(strText);
}

void TabPane::PushFields()
{
    Push(m_editAddress, m_strAddress, m_shownAddress);
    Push(m_editUsername, m_strUsername, m_shownUsername);
    Push(m_editPassword, m_strPassword, m_shownPassword);
    Push(m_editDirectory, m_strDirectory, m_shownDirectory);
}

void TabPane::PullFields()
{
    Pull(m_editAddress, m_strAddress, m_shownAddress);
    Pull(m_editUsername, m_strUsername, m_shownUsername);
    Pull(m_editPassword, m_strPassword, m_shownPassword);
    Pull(m_editDirectory, m_strDirectory, m_shownDirectory);
}

void TabPane::SetFieldsReadOnly(bool bReadOnly)
{
    for (QLineEdit* pEdit : {m_editAddress, m_editDirectory, m_editPassword, m_editUsername})
        pEdit->setReadOnly(bReadOnly);
}

void TabPane::keyPressEvent(QKeyEvent* pEvent)
{
    switch (pEvent->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: pEvent->accept(); return;
    default: QWidget::keyPressEvent(pEvent);
    }
}
