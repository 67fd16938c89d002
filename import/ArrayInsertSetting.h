#pragma once
// "Array insert" kept with the mapping: an entry ArrayInsert=1 (or 0) in a
// section [Options] of the mapping settings file. Readers that know only
// section [Rows] never see it, and a file without it is a mapping of the
// statement-per-row form.

#include "import/ImportTexts.h"

#include <QString>

#include <optional>

namespace rowpour
{

// Writes the entry into a saved mapping file. Nothing is written when the
// option is off and the file has no entry (a mapping saved without the option
// keeps the plain form byte for byte), nor when there is no file (no mapping
// rows were saved). Throws EIniWriteError.
void SaveArrayInsertSetting(const QString &fileName, bool arrayInsert);
// The saved choice; nullopt when the file has no such entry.
std::optional<bool> LoadArrayInsertSetting(const QString &fileName);

} // namespace rowpour
