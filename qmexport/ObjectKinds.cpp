// ObjectKinds.cpp
#include "qmexport/ObjectKinds.h"

#include "platform/TextCase.h"

namespace {

const std::vector<ObjectKind> kKinds = {
    {"PACKAGE", L"pks", 1},  {"PACKAGE BODY", L"pkb", 5}, {"PROCEDURE", L"prc", 3},
    {"FUNCTION", L"fnc", 2}, {"TYPE", L"tps", 0},         {"TYPE BODY", L"tpb", 5},
    {"TRIGGER", L"trg", 6},  {"VIEW", L"vw", 4},
};

}  // namespace

namespace ObjectKinds {

const std::vector<ObjectKind>& All()
{
    return kKinds;
}

const ObjectKind* OfType(const CString& strType)
{
    for (const ObjectKind& kind : kKinds) {
        if (strType == kind.pszType)
            return &kind;
    }
    return nullptr;
}

const ObjectKind* OfExtension(const std::wstring& strExtension)
{
    for (const ObjectKind& kind : kKinds) {
        if (SameIgnoringCase(strExtension, kind.pszExtension))
            return &kind;
    }
    return nullptr;
}

}  // namespace ObjectKinds
