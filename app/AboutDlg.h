#pragma once

#include <QDialog>

/// "About Tarnlow": the program's icon, name and version, and below them its
/// copyright and licence notice.
class AboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit AboutDlg(QWidget* pParent);
};
