#pragma once
// The languages and territories the development database knows (month and
// day names, default date and number formats), the client's NLS_LANG, and
// what a client sends at session start.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace devdb
{

struct Language {
    const char *name;             // AMERICAN
    const char *defaultTerritory; // the territory NLS_LANG=<language> implies
    // Upper case, UTF-8; days start with Sunday.
    std::array<const char *, 12> months;
    std::array<const char *, 12> monthAbbreviations;
    std::array<const char *, 7> days;
    std::array<const char *, 7> dayAbbreviations;
};

struct Territory {
    const char *name;
    const char *dateFormat;
    const char *timestampFormat;
    const char *timestampTzFormat;
    const char *numericCharacters; // decimal character, then group separator
};

// Any letter case; nullptr when unknown.
const Language *findLanguage(std::string_view name);
const Territory *findTerritory(std::string_view name);
const Language &defaultLanguage();   // AMERICAN
const Territory &defaultTerritory(); // AMERICA

// NLS_LANG = [language][_territory][.charset]; every part may be left out.
struct NlsLang {
    const Language *language;
    const Territory *territory;
    int charsetId;
};
// Throws OraError 12705 for a part it does not know. An absent NLS_LANG is
// AMERICAN_AMERICA.US7ASCII.
NlsLang parseNlsLang(const std::optional<std::string> &value);

// What a client hands the server at session start: NLS_LANG's language and
// territory, and the NLS_* variables of its environment it passes on.
struct ClientNls {
    std::string language = "AMERICAN";
    std::string territory = "AMERICA";
    std::optional<std::string> dateFormat;
    std::optional<std::string> dateLanguage;
    std::optional<std::string> numericCharacters;
    std::optional<std::string> lengthSemantics;
    std::optional<std::string> timestampFormat;
    std::optional<std::string> timestampTzFormat;
};

} // namespace devdb
