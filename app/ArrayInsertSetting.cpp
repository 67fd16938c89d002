#include "app/ArrayInsertSetting.h"

#include "app/MappingSettings.h"

#include <QFileInfo>

namespace rowpour
{

void SaveArrayInsertSetting(const QString &fileName, bool arrayInsert)
{
    if (!QFileInfo::exists(fileName) || (!arrayInsert && !LoadArrayInsertSetting(fileName)))
        return;
    WriteIniValue(fileName, settings_texts::kOptionsSection, settings_texts::kArrayInsertKey,
                  arrayInsert ? QStringLiteral("1") : QStringLiteral("0"));
}

std::optional<bool> LoadArrayInsertSetting(const QString &fileName)
{
    const QString key = settings_texts::kArrayInsertKey.toCaseFolded();
    for (const QString &entry : ReadIniSection(fileName, settings_texts::kOptionsSection)) {
        const qsizetype equals = entry.indexOf(QLatin1Char('='));
        if (equals > 0 && entry.left(equals).trimmed().toCaseFolded() == key)
            return entry.mid(equals + 1).trimmed() == QLatin1String("1");
    }
    return std::nullopt;
}

} // namespace rowpour
