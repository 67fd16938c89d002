#pragma once
// The file version of an executable. Every executable that links this unit
// carries the program's version in an ELF note (name "rowpour", type 1, the
// version text as its descriptor); ReadFileVersion reads it back from the file.

#include <QString>

namespace rowpour::platform
{

// The version text stored in the executable at path, or the empty text when the
// file cannot be read, is not an ELF file or carries no version note.
QString ReadFileVersion(const QString &path);

} // namespace rowpour::platform
