#pragma once

#include <QByteArray>
#include <QString>

/// Byte strings (profile fields, remote names) are kept as bytes; these turn them
/// into text for display only.
namespace ByteText {

/// UTF-8 when the bytes are valid UTF-8, otherwise Latin-1, so every byte shows
/// as some character and nothing is dropped from view.
QString Display(const QByteArray& bytes);

/// The bytes that text typed by the user stands for (UTF-8).
QByteArray FromTyped(const QString& text);

} // namespace ByteText
