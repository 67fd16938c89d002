// The export sets of the library and of its variants, as a program binding
// entry points by name sees them.

#include "OciClient.h"

#include <gtest/gtest.h>

using namespace ocitest;

namespace
{

const std::vector<std::string> kOci7 = {"orlon",  "ologof", "oerhms", "oopen",  "oparse", "odefin",
                                        "oexfet", "ofen",   "oflng",  "oclose", "odescr", "oexec",
                                        "oexn",   "ocom",   "orol",   "ocon",   "ocof",   "obreak",
                                        "obndra", "odessp", "olog",   "opinit"};
const std::vector<std::string> kOci81 = {"OCIEnvCreate",
                                         "OCIDirPathAbort",
                                         "OCIDirPathFinish",
                                         "OCIDirPathPrepare",
                                         "OCIDirPathColArrayEntrySet",
                                         "OCIDirPathColArrayToStream",
                                         "OCIDirPathLoadStream",
                                         "OCIDirPathStreamReset",
                                         "OCIDateTimeToText"};
// Names of later releases (9i to 10g) a client offers besides: only the full library has them.
const std::vector<std::string> kLater = {"OCIEnvNlsCreate",       "OCILogon2",        "OCINlsCharSetNameToId",
                                         "OCINlsCharSetIdToName", "OCILobGetLength2", "OCILobRead2",
                                         "OCIStmtFetch2",         "OCIPing"};
const std::vector<std::string> kOci8 = {"OCIInitialize",
                                        "OCIHandleAlloc",
                                        "OCIHandleFree",
                                        "OCIDescriptorAlloc",
                                        "OCIDescriptorFree",
                                        "OCIEnvInit",
                                        "OCIServerAttach",
                                        "OCIServerDetach",
                                        "OCISessionBegin",
                                        "OCISessionEnd",
                                        "OCILogon",
                                        "OCILogoff",
                                        "OCIPasswordChange",
                                        "OCIStmtPrepare",
                                        "OCIBindByPos",
                                        "OCIBindByName",
                                        "OCIBindObject",
                                        "OCIBindDynamic",
                                        "OCIBindArrayOfStruct",
                                        "OCIStmtGetPieceInfo",
                                        "OCIStmtSetPieceInfo",
                                        "OCIStmtExecute",
                                        "OCIDefineByPos",
                                        "OCIDefineObject",
                                        "OCIDefineDynamic",
                                        "OCIDefineArrayOfStruct",
                                        "OCIStmtFetch",
                                        "OCIStmtGetBindInfo",
                                        "OCIDescribeAny",
                                        "OCIParamGet",
                                        "OCIParamSet",
                                        "OCITransStart",
                                        "OCITransDetach",
                                        "OCITransCommit",
                                        "OCITransRollback",
                                        "OCITransPrepare",
                                        "OCITransForget",
                                        "OCIErrorGet",
                                        "OCILobAppend",
                                        "OCILobAssign",
                                        "OCILobCharSetForm",
                                        "OCILobCharSetId",
                                        "OCILobCopy",
                                        "OCILobDisableBuffering",
                                        "OCILobEnableBuffering",
                                        "OCILobErase",
                                        "OCILobFileClose",
                                        "OCILobFileCloseAll",
                                        "OCILobFileExists",
                                        "OCILobFileGetName",
                                        "OCILobFileIsOpen",
                                        "OCILobFileOpen",
                                        "OCILobFileSetName",
                                        "OCILobFlushBuffer",
                                        "OCILobGetLength",
                                        "OCILobIsEqual",
                                        "OCILobLoadFromFile",
                                        "OCILobLocatorIsInit",
                                        "OCILobRead",
                                        "OCILobTrim",
                                        "OCILobWrite",
                                        "OCIBreak",
                                        "OCIServerVersion",
                                        "OCIAttrGet",
                                        "OCIAttrSet",
                                        "OCISvcCtxToLda",
                                        "OCILdaToSvcCtx",
                                        "OCIResultSetToStmt",
                                        "OCIObjectUnpin",
                                        "OCIObjectLock",
                                        "OCIObjectMarkUpdate",
                                        "OCIObjectUnmark",
                                        "OCIObjectMarkDelete",
                                        "OCIObjectFlush",
                                        "OCIObjectCopy",
                                        "OCIObjectGetTypeRef",
                                        "OCIObjectGetObjectRef",
                                        "OCIObjectGetInd",
                                        "OCIObjectExists",
                                        "OCIObjectIsLocked",
                                        "OCIObjectIsDirty",
                                        "OCIObjectRefresh",
                                        "OCIObjectPinTable",
                                        "OCIObjectNew",
                                        "OCIObjectPin",
                                        "OCIObjectFree",
                                        "OCITypeByName",
                                        "OCIObjectGetAttr",
                                        "OCIObjectSetAttr",
                                        "OCIStringPtr",
                                        "OCIStringAssignText",
                                        "OCINumberFromInt",
                                        "OCINumberToInt",
                                        "OCINumberFromReal",
                                        "OCINumberToReal",
                                        "OCINumberToText",
                                        "OCINumberFromText",
                                        "OCIRawPtr",
                                        "OCIRawSize",
                                        "OCIRawAssignBytes",
                                        "OCIRefAssign",
                                        "OCIRefClear",
                                        "OCIRefIsNull",
                                        "OCIRefFromHex",
                                        "OCIRefHexSize",
                                        "OCIRefToHex",
                                        "OCICollSize",
                                        "OCICollTrim",
                                        "OCICollMax",
                                        "OCICollGetElem",
                                        "OCICollAssignElem",
                                        "OCICollAppend",
                                        "OCITableDelete",
                                        "OCICacheFlush",
                                        "ociepgoe",
                                        "ociepmsg"};

std::vector<std::string> missing(const Library &lib, const std::vector<std::string> &names)
{
    std::vector<std::string> out;
    for (const auto &n : names)
        if (!lib.has(n.c_str()))
            out.push_back(n);
    return out;
}

struct VariantCase {
    const char *name;
    const char *file; // under the build's home
    std::vector<std::string> missingOci7, missingOci8, missingOci81, missingLater;
};

void PrintTo(const VariantCase &c, std::ostream *os)
{
    *os << c.name;
}

class Variants : public ::testing::TestWithParam<VariantCase>
{
};

TEST_P(Variants, ExportSets)
{
    const VariantCase &c = GetParam();
    Library lib(buildHome() + "/" + c.file);
    EXPECT_EQ(missing(lib, kOci7), c.missingOci7);
    EXPECT_EQ(missing(lib, kOci8), c.missingOci8);
    EXPECT_EQ(missing(lib, kOci81), c.missingOci81);
    EXPECT_EQ(missing(lib, kLater), c.missingLater);
    // Nothing of the engine leaks out.
    EXPECT_FALSE(
        lib.has("_ZN5devdb14createDatabaseERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES7_"));
}

INSTANTIATE_TEST_SUITE_P(
    Libraries, Variants,
    ::testing::Values(
        VariantCase{"Full", "lib/libclntsh.so", {}, {}, {}, {}},
        VariantCase{"Oci7Only", "variants/oci7/libclntsh.so", {}, kOci8, kOci81, kLater},
        VariantCase{"WithoutOracle81", "variants/no81/libclntsh.so", {}, {}, kOci81, kLater},
        VariantCase{
            "Incomplete", "variants/incomplete/libclntsh.so", {"odescr"}, {"OCIServerVersion"}, {}, {}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
