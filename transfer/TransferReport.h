#pragma once

#include <QString>

class TransferMeter;

/// What a running transfer tells whoever shows it. Every call is made on the
/// transfer's own thread and returns once the report has been taken in (not
/// necessarily shown yet): a failure returns when the user has answered it.
class TransferReport {
public:
    virtual ~TransferReport() = default;

    /// The item in work: a local path for an upload, a remote name for a
    /// download; empty once a list of items has been worked through.
    virtual void ShowTransferName(const QString& strName) = 0;
    /// One more item done, whether it succeeded or not.
    virtual void StepProgress() = 0;
    /// Shows @p strText as a transfer failure, with @p strCause (what failed and
    /// why, for the user) below it, and waits for the user's answer.
    virtual void ShowFailure(const QString& strText, const QString& strCause) = 0;
    /// True once the transfer must stop at once, touching nothing more (the
    /// window is going away).
    virtual bool IsCancelled() const = 0;
    /// What the connections of the transfer tell how far each file has come;
    /// none by default.
    virtual TransferMeter* Meter() { return nullptr; }
};
