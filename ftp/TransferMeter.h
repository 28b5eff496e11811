#pragma once

#include <cstdint>

/// Told how far each file transfer of a connection has come, so that a file's
/// progress can be shown while its bytes move. Called on the connection's own
/// thread, from inside the transfer: every call must be cheap and must not
/// wait for anything.
class TransferMeter {
public:
    virtual ~TransferMeter() = default;

    /// A file transfer begins (BeginPutFile() or BeginGetFile() was called),
    /// whether or not any of its bytes will move.
    virtual void FileBegun() = 0;
    /// The file begun last has moved @p nBytes so far, of @p nSize (-1 while
    /// the size is not known).
    virtual void FileMoved(std::int64_t nBytes, std::int64_t nSize) = 0;
};
