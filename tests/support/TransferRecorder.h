#pragma once

#include "transfer/TransferReport.h"

#include <QStringList>

#include <atomic>

/// A TransferReport that keeps what a transfer reports, so that a walk can be
/// checked without a window. Names are kept as a field shows them: a name
/// equal to the one shown already is no change.
class TransferRecorder : public TransferReport {
public:
    void ShowTransferName(const QString& strName) override
    {
        if (strName != m_strShown)
            m_names.append(strName);
        m_strShown = strName;
    }
    void StepProgress() override { ++m_nSteps; }
    void ShowFailure(const QString& strText, const QString& strCause) override
    {
        m_failures.append(strText);
        m_causes.append(strCause);
    }
    bool IsCancelled() const override { return m_bCancelled.load(); }

    QStringList m_names; // every change of the name in work, in order
    int m_nSteps = 0;
    QStringList m_failures; // every failure shown, in order
    QStringList m_causes; // the cause shown below each failure
    std::atomic<bool> m_bCancelled {false};

private:
    QString m_strShown;
};
