#pragma once

#include <QByteArray>

/// Remote paths as the window walks them: slash-separated byte strings, kept
/// exactly as the server and the user wrote them.
namespace RemotePath {

/// The directory reached from @p strDirectory by opening the folder entry
/// @p strEntry: ".." goes up one level (never above "/"), any other name goes
/// down into it. A directory without a leading slash goes up to "/" from its
/// first level, not to the login directory.
QByteArray Navigate(const QByteArray& strDirectory, const QByteArray& strEntry);

} // namespace RemotePath
