#include "sites/ByteText.h"

#include <QStringDecoder>

namespace ByteText {

QString Display(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (!decoder.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

QByteArray FromTyped(const QString& text)
{
    return text.toUtf8();
}

} // namespace ByteText
