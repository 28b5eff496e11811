#pragma once

#include "transfer/TransferReport.h"

#include <QStringList>

#include <atomic>
#include <functional>

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
        if (m_onShow)
            m_onShow(strName);
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
    /// Called on the walk's thread with each name shown: the point where a
    /// test changes the disk in the middle of a walk.
    std::function<void(const QString&)> m_onShow;

private:
    QString m_strShown;
};
