#pragma once
// Oracle's error numbers and message texts, in one place for the engine and its tests.

#include "Engine.h"

#include <string>

namespace devdb::errors
{

inline constexpr const char *kUniqueViolated = "unique constraint (%s) violated";
inline constexpr const char *kInvalidSql = "invalid SQL statement";
inline constexpr const char *kInvalidIdentifier = "\"%s\": invalid identifier";
inline constexpr const char *kMissingRightParen = "missing right parenthesis";
inline constexpr const char *kMissingLeftParen = "missing left parenthesis";
inline constexpr const char *kInvalidCharacter = "invalid character";
inline constexpr const char *kMissingComma = "missing comma";
inline constexpr const char *kFromNotFound = "FROM keyword not found where expected";
inline constexpr const char *kNotProperlyEnded = "SQL command not properly ended";
inline constexpr const char *kMissingExpression = "missing expression";
inline constexpr const char *kNoSuchTable = "table or view does not exist";
inline constexpr const char *kNameInUse = "name is already used by an existing object";
inline constexpr const char *kMissingKeyword = "missing keyword";
inline constexpr const char *kInvalidDatatype = "invalid datatype";
inline constexpr const char *kTooManyValues = "too many values";
inline constexpr const char *kNotEnoughValues = "not enough values";
inline constexpr const char *kIdentifierTooLong = "identifier is too long";
inline constexpr const char *kQuotedNotTerminated = "quoted string not properly terminated";
inline constexpr const char *kZeroLengthIdentifier = "illegal zero-length identifier";
inline constexpr const char *kDuplicateColumn = "duplicate column name";
inline constexpr const char *kLogonDenied = "invalid username/password; logon denied";
inline constexpr const char *kInsufficientPrivileges = "insufficient privileges";
inline constexpr const char *kCannotInsertNull = "cannot insert NULL into (%s)";
inline constexpr const char *kCannotUpdateNull = "cannot update (%s) to NULL";
inline constexpr const char *kPrecisionTooLarge =
    "value larger than specified precision allowed for this column";
inline constexpr const char *kInvalidNumber = "invalid number";
inline constexpr const char *kPictureEnds = "date format picture ends before converting entire input string";
inline constexpr const char *kNotValidMonth = "not a valid month";
inline constexpr const char *kDayOfMonth = "day of month must be between 1 and last day of month";
inline constexpr const char *kDateNotValidForMonth = "date not valid for month specified";
inline constexpr const char *kNonNumeric = "a non-numeric character was found where a numeric was expected";
inline constexpr const char *kLiteralMismatch = "literal does not match format string";
inline constexpr const char *kHourRange = "hour must be between 0 and 23";
inline constexpr const char *kHour12Range = "hour must be between 1 and 12";
inline constexpr const char *kMinuteRange = "minutes must be between 0 and 59";
inline constexpr const char *kSecondRange = "seconds must be between 0 and 59";
inline constexpr const char *kYearRange = "(full) year must be between -4713 and +9999, and not be 0";
inline constexpr const char *kDateFormatNotRecognized = "date format not recognized";
inline constexpr const char *kInconsistentTypes = "inconsistent datatypes: expected %s got %s";
inline constexpr const char *kValueTooLarge = "value too large for column %s (actual: %s, maximum: %s)";
inline constexpr const char *kInvalidHex = "invalid hex number";
inline constexpr const char *kAccountLocked = "the account is locked";
inline constexpr const char *kPasswordExpired = "the password has expired";
inline constexpr const char *kPasswordWillExpire = "the password will expire within %s days";
inline constexpr const char *kAccountWillExpire = "the account will expire soon; change your password now";
inline constexpr const char *kUserExists = "user name '%s' conflicts with another user or role name";
inline constexpr const char *kUserDoesNotExist = "user '%s' does not exist";
inline constexpr const char *kResourceBusy =
    "resource busy and acquire with NOWAIT specified or timeout expired";
inline constexpr const char *kInvalidAlterSessionOption = "invalid option for ALTER SESSION";
inline constexpr const char *kNotGroupByExpression = "not a single-group group function";
inline constexpr const char *kUnimplemented = "unimplemented feature";
inline constexpr const char *kDivisorZero = "divisor is equal to zero";
inline constexpr const char *kTableMustHaveColumn = "a table must have at least one column";
inline constexpr const char *kMultiplePrimaryKeys = "table can have only one primary key";
inline constexpr const char *kNumericOverflow = "numeric overflow";
inline constexpr const char *kInvalidRowid = "invalid ROWID";
inline constexpr const char *kInvalidLongUse = "illegal use of LONG datatype";
inline constexpr const char *kColumnAmbiguous = "column ambiguously defined";
inline constexpr const char *kInvalidUsername = "invalid username or password";
inline constexpr const char *kInvalidNlsEnvironment =
    "Cannot access NLS data files or invalid environment specified";
inline constexpr const char *kInputNotLongEnough = "input value not long enough for date format";
inline constexpr const char *kNotValidDayOfWeek = "not a valid day of the week";

// printf-style formatting of the texts above.
std::string format(const char *pattern, const std::string &a);
std::string format(const char *pattern, const std::string &a, const std::string &b);
std::string format(const char *pattern, const std::string &a, const std::string &b, const std::string &c);

[[noreturn]] void raise(int code, std::string text, int offset = 0);

} // namespace devdb::errors
