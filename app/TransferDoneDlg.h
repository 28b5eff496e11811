#pragma once

#include <QDialog>

class QPushButton;

/// "Transfer Information": says that a transfer is complete. Topmost, centred
/// over its owner, with the OK button focused.
class TransferDoneDlg : public QDialog {
    Q_OBJECT

public:
    explicit TransferDoneDlg(QWidget* pOwner);

    QPushButton* m_btnOk = nullptr;

protected:
    void showEvent(QShowEvent* pEvent) override;
};
