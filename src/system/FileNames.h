#pragma once

#include <QByteArray>
#include <QString>

// File names on disk are bytes. Names that are valid UTF-8 decode to the same text as
// QFile::decodeName gives; every byte of a name that is not valid UTF-8 becomes the lone
// surrogate U+DC80..U+DCFF, so EncodeFileName gives back exactly the bytes on disk and the
// walker can reach such a file or folder again by its decoded path.
QString DecodeFileName(const QByteArray &raw);
QByteArray EncodeFileName(const QString &name);
