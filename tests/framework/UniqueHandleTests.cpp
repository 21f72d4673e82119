// CUniqueHandle: moves, Reset and Release on a counting close function (each handle
// closed exactly once, "none" never closed), and each owner the program uses closing a
// real handle of its kind.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include "framework/UniqueHandle.h"

namespace {

// Handles are small integers in a pointer; 0 and -1 are both "none" as for kernel handles.
std::map<HANDLE, int> g_closes;

struct CountingTraits {
    using Handle = HANDLE;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle hHandle) { ++g_closes[hHandle]; }
};
using CCounted = CUniqueHandle<CountingTraits>;

HANDLE Fake(int n)
{
    return reinterpret_cast<HANDLE>(INT_PTR(n));
}

class UniqueHandle : public ::testing::Test {
protected:
    void SetUp() override { g_closes.clear(); }
    int Closes(int n) const { return g_closes.count(Fake(n)) ? g_closes.at(Fake(n)) : 0; }
};

}  // namespace

TEST_F(UniqueHandle, ClosesWhatItHoldsOnceWhenItGoes)
{
    {
        CCounted owner(Fake(1));
        EXPECT_TRUE(owner.IsValid());
        EXPECT_EQ(Fake(1), owner.Get());
        EXPECT_EQ(0, Closes(1));
    }
    EXPECT_EQ(1, Closes(1));
}

TEST_F(UniqueHandle, NoneIsNeverClosed)
{
    {
        CCounted byDefault;
        CCounted invalid(INVALID_HANDLE_VALUE);
        CCounted null(nullptr);
        EXPECT_FALSE(byDefault.IsValid());
        EXPECT_FALSE(invalid.IsValid());
        EXPECT_FALSE(null.IsValid());
        null.Reset();
    }
    EXPECT_TRUE(g_closes.empty());
}

TEST_F(UniqueHandle, MoveHandsTheHandleOverAndLeavesNone)
{
    {
        CCounted first(Fake(1));
        CCounted second(std::move(first));
        EXPECT_FALSE(first.IsValid());
        EXPECT_EQ(Fake(1), second.Get());

        CCounted third(Fake(3));
        third = std::move(second);  // closes what third held, takes first's handle
        EXPECT_EQ(1, Closes(3));
        EXPECT_EQ(0, Closes(1));
        EXPECT_FALSE(second.IsValid());
        EXPECT_EQ(Fake(1), third.Get());

        CCounted& alias = third;
        third = std::move(alias);  // moving into itself changes nothing
        EXPECT_EQ(Fake(1), third.Get());
        EXPECT_EQ(0, Closes(1));
    }
    EXPECT_EQ(1, Closes(1));
    EXPECT_EQ(1, Closes(3));
}

TEST_F(UniqueHandle, ResetClosesTheOldHandleAndHoldsTheNewOne)
{
    CCounted owner(Fake(1));
    owner.Reset(Fake(2));
    EXPECT_EQ(1, Closes(1));
    EXPECT_EQ(Fake(2), owner.Get());
    owner.Reset();
    EXPECT_EQ(1, Closes(2));
    EXPECT_FALSE(owner.IsValid());
    owner.Reset();
    EXPECT_EQ(2u, g_closes.size());
}

TEST_F(UniqueHandle, ReleaseGivesTheHandleUpUnclosed)
{
    {
        CCounted owner(Fake(1));
        EXPECT_EQ(Fake(1), owner.Release());
        EXPECT_FALSE(owner.IsValid());
    }
    EXPECT_EQ(0, Closes(1));
}

namespace {

// Makes a real handle, hands it to an owner of its kind, lets the owner go, and checks
// with the system that the handle is gone.
template <typename Owner, typename Make, typename IsAlive>
void ExpectOwnerClosesIt(const char* pszKind, Make make, IsAlive isAlive)
{
    SCOPED_TRACE(pszKind);
    using Handle = typename Owner::Handle;
    const Handle hHandle = make();
    ASSERT_TRUE(hHandle != nullptr && hHandle != reinterpret_cast<Handle>(INVALID_HANDLE_VALUE));
    {
        Owner owner(hHandle);
        EXPECT_TRUE(isAlive(hHandle));
    }
    EXPECT_FALSE(isAlive(hHandle));
}

std::wstring TempFolder()
{
    wchar_t szTemp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, szTemp);
    return szTemp;
}

}  // namespace

TEST(UniqueHandleOwners, EachOwnerClosesItsKindOfHandle)
{
    ExpectOwnerClosesIt<CHandle>(
        "kernel handle", [] { return ::CreateEventW(nullptr, TRUE, FALSE, nullptr); },
        [](HANDLE h) {
            DWORD dwFlags = 0;
            return ::GetHandleInformation(h, &dwFlags) != FALSE;
        });
    ExpectOwnerClosesIt<CFindHandle>(
        "find handle",
        [] {
            WIN32_FIND_DATAW data{};
            return ::FindFirstFileW((TempFolder() + L"*").c_str(), &data);
        },
        [](HANDLE h) {
            WIN32_FIND_DATAW data{};
            ::SetLastError(0);
            return ::FindNextFileW(h, &data) != FALSE || ::GetLastError() == ERROR_NO_MORE_FILES;
        });
    ExpectOwnerClosesIt<CBitmapHandle>(
        "bitmap", [] { return ::CreateBitmap(4, 4, 1, 32, nullptr); },
        [](HBITMAP h) { return ::GetObjectType(h) == OBJ_BITMAP; });
    static const BYTE andMask[32 * 4] = {}, xorMask[32 * 4] = {};
    ExpectOwnerClosesIt<CIconHandle>(
        "icon", [] { return ::CreateIcon(nullptr, 32, 32, 1, 1, andMask, xorMask); },
        [](HICON h) {
            ICONINFO info{};
            if (!::GetIconInfo(h, &info))
                return false;
            CBitmapHandle color(info.hbmColor), mask(info.hbmMask);
            return true;
        });
    ExpectOwnerClosesIt<CCursorHandle>(
        "cursor", [] { return ::CreateCursor(nullptr, 0, 0, 32, 32, andMask, xorMask); },
        [](HCURSOR h) {
            ICONINFO info{};
            if (!::GetIconInfo(h, &info))
                return false;
            CBitmapHandle color(info.hbmColor), mask(info.hbmMask);
            return true;
        });
    // A copy of this program loaded as a data file (as the hyperlink loads the help
    // program): a mapping of its own, gone when the module is freed.
    wchar_t szSelf[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, szSelf, MAX_PATH);
    static const std::wstring strCopy = TempFolder() + L"unique-handle-module.dll";
    ASSERT_TRUE(::CopyFileW(szSelf, strCopy.c_str(), FALSE));
    ExpectOwnerClosesIt<CModuleHandle>(
        "module",
        [] { return ::LoadLibraryExW(strCopy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE); },
        [](HMODULE h) {
            MEMORY_BASIC_INFORMATION info{};
            const void* pBase =
                reinterpret_cast<const void*>(reinterpret_cast<ULONG_PTR>(h) & ~ULONG_PTR(3));
            return ::VirtualQuery(pBase, &info, sizeof(info)) != 0 && info.State != MEM_FREE;
        });
    ::DeleteFileW(strCopy.c_str());
}
