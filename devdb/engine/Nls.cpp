#include "Nls.h"

#include "Charset.h"
#include "Errors.h"

#include <cctype>

namespace devdb
{
namespace
{

const Language kLanguages[] = {
    {"AMERICAN",
     "AMERICA",
     {"JANUARY", "FEBRUARY", "MARCH", "APRIL", "MAY", "JUNE", "JULY", "AUGUST", "SEPTEMBER", "OCTOBER",
      "NOVEMBER", "DECEMBER"},
     {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"},
     {"SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"},
     {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"}},
    {"ENGLISH",
     "UNITED KINGDOM",
     {"JANUARY", "FEBRUARY", "MARCH", "APRIL", "MAY", "JUNE", "JULY", "AUGUST", "SEPTEMBER", "OCTOBER",
      "NOVEMBER", "DECEMBER"},
     {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"},
     {"SUNDAY", "MONDAY", "TUESDAY", "WEDNESDAY", "THURSDAY", "FRIDAY", "SATURDAY"},
     {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"}},
    {"RUSSIAN",
     "RUSSIA",
     {"ЯНВАРЬ", "ФЕВРАЛЬ", "МАРТ", "АПРЕЛЬ", "МАЙ", "ИЮНЬ", "ИЮЛЬ", "АВГУСТ", "СЕНТЯБРЬ", "ОКТЯБРЬ", "НОЯБРЬ",
      "ДЕКАБРЬ"},
     {"ЯНВ", "ФЕВ", "МАР", "АПР", "МАЙ", "ИЮН", "ИЮЛ", "АВГ", "СЕН", "ОКТ", "НОЯ", "ДЕК"},
     {"ВОСКРЕСЕНЬЕ", "ПОНЕДЕЛЬНИК", "ВТОРНИК", "СРЕДА", "ЧЕТВЕРГ", "ПЯТНИЦА", "СУББОТА"},
     {"ВС", "ПН", "ВТ", "СР", "ЧТ", "ПТ", "СБ"}},
    {"GERMAN",
     "GERMANY",
     {"JANUAR", "FEBRUAR", "MÄRZ", "APRIL", "MAI", "JUNI", "JULI", "AUGUST", "SEPTEMBER", "OKTOBER",
      "NOVEMBER", "DEZEMBER"},
     {"JAN", "FEB", "MÄR", "APR", "MAI", "JUN", "JUL", "AUG", "SEP", "OKT", "NOV", "DEZ"},
     {"SONNTAG", "MONTAG", "DIENSTAG", "MITTWOCH", "DONNERSTAG", "FREITAG", "SAMSTAG"},
     {"SO", "MO", "DI", "MI", "DO", "FR", "SA"}},
    {"FRENCH",
     "FRANCE",
     {"JANVIER", "FÉVRIER", "MARS", "AVRIL", "MAI", "JUIN", "JUILLET", "AOÛT", "SEPTEMBRE", "OCTOBRE",
      "NOVEMBRE", "DÉCEMBRE"},
     {"JANV.", "FÉVR.", "MARS", "AVR.", "MAI", "JUIN", "JUIL.", "AOÛT", "SEPT.", "OCT.", "NOV.", "DÉC."},
     {"DIMANCHE", "LUNDI", "MARDI", "MERCREDI", "JEUDI", "VENDREDI", "SAMEDI"},
     {"DIM.", "LUN.", "MAR.", "MER.", "JEU.", "VEN.", "SAM."}},
};

const Territory kTerritories[] = {
    {"AMERICA", "DD-MON-RR", "DD-MON-RR HH.MI.SSXFF AM", "DD-MON-RR HH.MI.SSXFF AM TZR", ".,"},
    {"UNITED KINGDOM", "DD-MON-RR", "DD-MON-RR HH24.MI.SSXFF", "DD-MON-RR HH24.MI.SSXFF TZR", ".,"},
    {"GERMANY", "DD.MM.RR", "DD.MM.RR HH24:MI:SSXFF", "DD.MM.RR HH24:MI:SSXFF TZR", ",."},
    {"FRANCE", "DD/MM/RR", "DD/MM/RR HH24:MI:SSXFF", "DD/MM/RR HH24:MI:SSXFF TZR", ", "},
    {"RUSSIA", "DD.MM.RR", "DD.MM.RR HH24:MI:SSXFF", "DD.MM.RR HH24:MI:SSXFF TZR", ", "},
    {"CIS", "DD.MM.RR", "DD.MM.RR HH24:MI:SSXFF", "DD.MM.RR HH24:MI:SSXFF TZR", ", "},
};

bool sameName(std::string_view a, const char *b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != b[i])
            return false;
    }
    return i == a.size() && !b[i];
}

[[noreturn]] void invalidEnvironment()
{
    errors::raise(12705, errors::kInvalidNlsEnvironment);
}

} // namespace

const Language *findLanguage(std::string_view name)
{
    for (const Language &l : kLanguages) {
        if (sameName(name, l.name))
            return &l;
    }
    return nullptr;
}

const Territory *findTerritory(std::string_view name)
{
    for (const Territory &t : kTerritories) {
        if (sameName(name, t.name))
            return &t;
    }
    return nullptr;
}

const Language &defaultLanguage()
{
    return kLanguages[0];
}

const Territory &defaultTerritory()
{
    return kTerritories[0];
}

NlsLang parseNlsLang(const std::optional<std::string> &value)
{
    NlsLang result{&defaultLanguage(), &defaultTerritory(), charset::US7ASCII};
    if (!value || value->empty())
        return result;
    std::string_view text = *value;
    std::string_view language = text, territory, charsetName;
    bool hasTerritory = false;
    if (auto dot = text.find('.'); dot != std::string_view::npos) {
        charsetName = text.substr(dot + 1);
        language = text.substr(0, dot);
        if (charsetName.empty())
            invalidEnvironment();
    }
    if (auto underscore = language.find('_'); underscore != std::string_view::npos) {
        territory = language.substr(underscore + 1);
        language = language.substr(0, underscore);
        hasTerritory = !territory.empty();
    }
    if (!language.empty()) {
        result.language = findLanguage(language);
        if (!result.language)
            invalidEnvironment();
        result.territory = findTerritory(result.language->defaultTerritory);
    }
    if (hasTerritory) {
        result.territory = findTerritory(territory);
        if (!result.territory)
            invalidEnvironment();
    }
    if (!charsetName.empty()) {
        const Charset *c = findCharset(charsetName);
        if (!c || c->id == charset::AL16UTF16)
            invalidEnvironment();
        result.charsetId = c->id;
    }
    return result;
}

} // namespace devdb
