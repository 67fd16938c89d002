#pragma once
// The 8-bit code page of the files the program shares with older tools
// (mapping settings, error log): Windows-1251. A file that starts with the
// UTF-8 byte order mark is UTF-8; a text that does not fit Windows-1251 is
// written as UTF-8 with the byte order mark, so nothing is lost.

#include <QByteArray>
#include <QString>

namespace rowpour::platform
{

// Every byte maps to one character (0x98, unassigned, to U+0098), so decoding
// and encoding back is lossless.
QString fromCp1251(const QByteArray &bytes);
// Characters without a Windows-1251 byte become '?'.
QByteArray toCp1251(const QString &text);
bool fitsCp1251(const QString &text);

// File contents: UTF-8 after a UTF-8 byte order mark (which is dropped), otherwise Windows-1251.
QString decodeFileText(const QByteArray &bytes);
// Windows-1251 when the text fits, otherwise the byte order mark and UTF-8.
QByteArray encodeFileText(const QString &text);

} // namespace rowpour::platform
