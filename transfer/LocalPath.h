#pragma once

#include <QByteArray>

/// Local paths as the bytes the system takes. Every path a transfer builds from
/// a name (typed, dropped, read from a folder, or listed by a server) is joined
/// here, byte for byte: no text conversion, and no rule of a path class (Qt's
/// ":name" resource paths, for one) can move a name out of its folder.
namespace LocalPath {

/// @p strFolder, one '/', and @p strName. A folder that ends in '/' (the root,
/// or a path typed with a trailing separator) gets none added; an empty folder
/// is the current one and gives @p strName as it is.
QByteArray Join(const QByteArray& strFolder, const QByteArray& strName);

/// The last component of @p strPath, trailing separators left out: empty for
/// "/" and for an empty path.
QByteArray Leaf(const QByteArray& strPath);

/// @p strPath made absolute from the current folder and cleaned by its text
/// alone: no "." or ".." components, no doubled or trailing separators. A ".."
/// takes away the component before it, as the user who typed it reads it,
/// wherever a link there leads. Empty for an empty path, or when the current
/// folder cannot be told.
QByteArray Absolute(const QByteArray& strPath);

/// True when @p strPath is @p strFolder or lies below it (both absolute and
/// clean, as realpath gives them).
bool IsInside(const QByteArray& strPath, const QByteArray& strFolder);

} // namespace LocalPath
