#pragma once
// The describe and define rule: which external type and buffer a select-list
// column is fetched into, given what the server describes and the settings.

namespace rowpour::oracle
{

// External types of the define (SQLT codes).
enum TExternalType : int {
    extInteger = 3,
    extFloat = 4,
    extString = 5,
    extLong = 8,
    extDate = 12,
    extLongRaw = 24,
    extObject = 108,
    extRef = 110,
    extClob = 112,
    extBlob = 113,
    extBfile = 114,
    extCursor = 116,
};

// Inputs of the describe rule for one column.
struct TColumnDescription {
    int internalType = 1;
    int dataSize = 0;  // bytes in the database's character set
    int precision = 0; // 0..255
    int scale = 0;     // -128..127
    int charSize = 0;  // characters of a character column; 0 when the client does not say
};

struct TDefineRule {
    int externalType = extString;
    int bufferSize = 0;         // bytes per row; 0 for values fetched in pieces
    int defineType = extString; // the type code passed to the define call
};

// The settings the describe rule depends on.
struct TDescribeSettings {
    int integerPrecision = 0;
    int floatPrecision = 0;
    bool bridgeMode = false;
    bool stringFieldsOnly = false;
    bool oci8Mode = true;
    int bytesPerCharacter = 1;
    // Most bytes one character takes in the client's character set (AL32UTF8).
    int clientBytesPerCharacter = 4;
    int dateTextLength = 10;
};

// Bytes a define buffer may hold per value: the client's length field is 16 bits.
constexpr int MaxDefineBufferSize = 65535;
// Sizes of the pieces a LONG or LONG RAW value is fetched in: the first,
// then doubling up to the largest.
constexpr int FirstLongPiece = 2000;
constexpr int LargestLongPiece = 32000;
// Bytes of a LOB value that the OCI7 call set fetches in the row itself.
constexpr int InlineLobBufferSize = 32768;

TDefineRule DefineRuleFor(const TColumnDescription &column, const TDescribeSettings &settings);

// Whether an internal type code is one of the timestamp kinds (fetched as text).
bool IsTimestampType(int internalType);
// Types fetched in their text form that are not character columns:
// timestamps, intervals, binary floats and doubles.
bool IsTextFormType(int internalType);
// ROWID and UROWID under the codes clients describe them with.
bool IsRowIdType(int internalType);
// Bytes the text of a character column can take in the client's character set.
int ClientTextBytes(int dataSize, int charSize, int clientBytesPerCharacter);

} // namespace rowpour::oracle
