// COwnerMenu: colour blending, version and theme checks, measuring and painting items
// read back from a DIB section in both looks, mnemonic search, re-synchronising,
// loading from a menu resource, the registry of owned popups, and destruction.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include "FlatTestSupport.h"
#include "controls/FlatButton.h"
#include "controls/OwnerMenu.h"
#include "flat_test_ids.h"

namespace {

const COLORREF kSentinel = RGB(1, 2, 3);

// Keeps the class-wide look settings of one test from leaking into the next.
class OwnerMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        COwnerMenu::Shared& shared = COwnerMenu::GetShared();
        m_nPlainStyle = shared.plainStyle;
        m_nThemedStyle = shared.themedStyle;
        m_bClassicSelectDisabled = shared.classicSelectDisabled;
        m_bFlatSelectDisabled = shared.flatSelectDisabled;
    }
    void TearDown() override
    {
        COwnerMenu::Shared& shared = COwnerMenu::GetShared();
        shared.plainStyle = m_nPlainStyle;
        shared.themedStyle = m_nThemedStyle;
        shared.classicSelectDisabled = m_bClassicSelectDisabled;
        shared.flatSelectDisabled = m_bFlatSelectDisabled;
    }
    // Makes the look in force classic or flat on whatever system runs the test.
    static void UseLook(bool bFlat)
    {
        COwnerMenu::Shared& shared = COwnerMenu::GetShared();
        const int nStyle = bFlat ? COwnerMenu::StyleFlat : COwnerMenu::StyleClassic;
        shared.plainStyle = nStyle;
        shared.themedStyle = nStyle;
    }

    int m_nPlainStyle = 0;
    int m_nThemedStyle = 0;
    BOOL m_bClassicSelectDisabled = TRUE;
    BOOL m_bFlatSelectDisabled = FALSE;
};

// ---------------------------------------------------------------------------------------
// Class-wide helpers

TEST(OwnerMenuColours, BlendTowardWhite)
{
    EXPECT_EQ(RGB(216, 216, 216), COwnerMenu::BlendTowardWhite(RGB(0, 0, 0), 0.85));
    EXPECT_EQ(RGB(10, 20, 30), COwnerMenu::BlendTowardWhite(RGB(10, 20, 30), 0.0));
    EXPECT_EQ(RGB(10, 20, 30), COwnerMenu::BlendTowardWhite(RGB(10, 20, 30), 1.5));
    EXPECT_EQ(RGB(10, 20, 30), COwnerMenu::BlendTowardWhite(RGB(10, 20, 30), -0.5));
    EXPECT_EQ(RGB(255, 255, 255), COwnerMenu::BlendTowardWhite(RGB(10, 20, 30), 1.0));
    // 100 + 0.5 * 155 = 177.5 -> 177; 0 -> 127.5 -> 127.
    EXPECT_EQ(RGB(177, 127, 255), COwnerMenu::BlendTowardWhite(RGB(100, 0, 255), 0.5));
    EXPECT_EQ(RGB(63, 63, 63), COwnerMenu::BlendTowardWhite(RGB(0, 0, 0), 0.25));
}

TEST(OwnerMenuVersion, CodesFromTheVersionNumbers)
{
    const struct {
        DWORD dwVersion;
        DWORD dwMajor;
        DWORD dwMinor;
        int nCode;
    } table[] = {
        {0x00000004, 4, 0, 5},   // NT 4.0
        {0x00000005, 5, 0, 6},   // Windows 2000
        {0x00000105, 5, 1, 7},   // Windows XP
        {0x00000205, 5, 2, 1},   // Server 2003
        {0x00000006, 6, 0, 1},   // Vista
        {0x0000000A, 10, 0, 1},  // Windows 10
        {0x00000003, 3, 51, 1},  // NT 3.51
        {0x80000003, 3, 10, 0},  // Win32s
        {0xC0000004, 4, 0, 2},   // Windows 95
        {0xC0000A04, 4, 10, 3},  // Windows 98
        {0xC0005A04, 4, 90, 4},  // Windows Me
    };
    for (const auto& row : table) {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof(info);
        info.dwMajorVersion = row.dwMajor;
        info.dwMinorVersion = row.dwMinor;
        EXPECT_EQ(row.nCode, COwnerMenu::ComputeOsVersionCode(row.dwVersion, info))
            << row.dwMajor << "." << row.dwMinor;
    }
}

TEST(OwnerMenuVersion, ThisSystemsCodeComesFromTheVersionApi)
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const DWORD dwVersion = ::GetVersion();
    ASSERT_TRUE(::GetVersionExA(&info));
#pragma GCC diagnostic pop
    EXPECT_EQ(COwnerMenu::ComputeOsVersionCode(dwVersion, info),
              COwnerMenu::GetShared().osVersionCode);
}

TEST(OwnerMenuTheme, ClassicThemeNames)
{
    EXPECT_TRUE(COwnerMenu::IsClassicThemeName("Windows Classic.theme"));
    EXPECT_TRUE(COwnerMenu::IsClassicThemeName("windows classic.THEME"));
    EXPECT_TRUE(
        COwnerMenu::IsClassicThemeName("C:\\WINDOWS\\Resources\\Themes\\WINDOWS CLASSIC.theme"));
    EXPECT_FALSE(COwnerMenu::IsClassicThemeName("Luna.theme"));
    EXPECT_FALSE(COwnerMenu::IsClassicThemeName("Classic.theme"));
    EXPECT_FALSE(COwnerMenu::IsClassicThemeName("Windows Classic.theme.bak"));
    EXPECT_FALSE(COwnerMenu::IsClassicThemeName(""));
    EXPECT_FALSE(COwnerMenu::IsClassicThemeName(nullptr));
}

// Writes (or with null, deletes) the current theme value of this Wine prefix's user.
void SetCurrentTheme(const char* pszTheme)
{
    const char kKey[] = "Software\\Microsoft\\Plus!\\Themes\\Current";
    if (!pszTheme) {
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
        return;
    }
    HKEY hKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE,
                                               nullptr, &hKey, nullptr));
    ::RegSetValueExA(hKey, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(pszTheme),
                     DWORD(strlen(pszTheme) + 1));
    ::RegCloseKey(hKey);
}

TEST(OwnerMenuTheme, ThemeIsReadOnceFromTheRegistry)
{
    COwnerMenu::Shared& shared = COwnerMenu::GetShared();
    const int nSaved = shared.classicTheme;

    SetCurrentTheme("%WinDir%\\Resources\\Themes\\Windows Classic.THEME");
    shared.classicTheme = -1;
    EXPECT_TRUE(COwnerMenu::IsClassicThemeSelected());
    SetCurrentTheme("%WinDir%\\Resources\\Themes\\Luna.theme");
    EXPECT_TRUE(COwnerMenu::IsClassicThemeSelected()) << "the first answer holds for the run";

    shared.classicTheme = -1;
    EXPECT_FALSE(COwnerMenu::IsClassicThemeSelected());
    SetCurrentTheme(nullptr);
    shared.classicTheme = -1;
    EXPECT_FALSE(COwnerMenu::IsClassicThemeSelected()) << "no theme value: not classic";
    shared.classicTheme = nSaved;
}

TEST_F(OwnerMenuTest, LookFollowsTheStyleSettings)
{
    COwnerMenu::Shared& shared = COwnerMenu::GetShared();
    shared.plainStyle = COwnerMenu::StyleFlat;
    shared.themedStyle = COwnerMenu::StyleClassic;
    EXPECT_EQ(!COwnerMenu::FlatThemeCheck(), COwnerMenu::UsesFlatStyle());
    shared.plainStyle = 2;  // anything but 1 is classic
    shared.themedStyle = 2;
    EXPECT_FALSE(COwnerMenu::UsesFlatStyle());
    if (shared.osVersionCode != 7) {
        EXPECT_FALSE(COwnerMenu::FlatThemeCheck());
    }
}

// ---------------------------------------------------------------------------------------
// Building menus by hand

// A popup with: 0 "&Open\tCtrl+O" (1), 1 separator, 2 "Save &As" (2),
// 3 "E&xit" (3), 4 "Dis&abled" (4, greyed).
std::unique_ptr<COwnerMenu> MakeMenu()
{
    auto pMenu = std::make_unique<COwnerMenu>();
    pMenu->CreatePopupMenu();
    pMenu->AddOwnerDrawnItem(L"&Open\tCtrl+O", MF_STRING, 1);
    pMenu->AddOwnerDrawnItem(nullptr, MF_STRING, 0);
    pMenu->AddOwnerDrawnItem(L"Save &As", MF_STRING, 2);
    pMenu->AddOwnerDrawnItem(L"E&xit", MF_STRING, 3);
    pMenu->AddOwnerDrawnItem(L"Dis&abled", MF_STRING | MF_GRAYED, 4);
    return pMenu;
}

TEST_F(OwnerMenuTest, AddedItemsAreOwnerDrawnWithTheirRecords)
{
    auto pMenu = MakeMenu();
    ASSERT_EQ(5, pMenu->GetMenuItemCount());
    ASSERT_EQ(5, pMenu->GetItemRecordCount());
    for (int i = 0; i < 5; ++i) {
        MENUITEMINFOW mii{};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_FTYPE | MIIM_DATA;
        ASSERT_TRUE(::GetMenuItemInfoW(*pMenu, UINT(i), TRUE, &mii));
        EXPECT_TRUE(mii.fType & MFT_OWNERDRAW) << i;
        EXPECT_EQ(reinterpret_cast<ULONG_PTR>(pMenu->GetItemRecord(i)), mii.dwItemData) << i;
    }
    EXPECT_TRUE(pMenu->GetItemRecord(1)->IsSeparator());
    EXPECT_EQ(UINT(MF_SEPARATOR | MF_OWNERDRAW), pMenu->GetItemRecord(1)->m_nFlags);
    EXPECT_EQ(UINT(MF_STRING | MF_GRAYED | MF_OWNERDRAW), pMenu->GetItemRecord(4)->m_nFlags);
    EXPECT_EQ(std::wstring(L"Save &As"), pMenu->GetItemRecord(2)->m_strText);
    EXPECT_EQ(-1, pMenu->GetItemRecord(0)->m_nSharedImageIndex);
    EXPECT_EQ(nullptr, pMenu->GetItemRecord(5));
}

TEST_F(OwnerMenuTest, ItemTextByPositionAndByCommand)
{
    auto pMenu = MakeMenu();
    CString text;
    EXPECT_TRUE(pMenu->ItemTextAt(2, text, TRUE));
    EXPECT_EQ(CString("Save &As"), text);
    EXPECT_TRUE(pMenu->ItemTextAt(3, text, FALSE));
    EXPECT_EQ(CString("E&xit"), text);
    EXPECT_FALSE(pMenu->ItemTextAt(9, text, TRUE));
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_FALSE(pMenu->ItemTextAt(99, text, FALSE));
}

TEST_F(OwnerMenuTest, MnemonicSearch)
{
    auto pMenu = MakeMenu();
    EXPECT_EQ(MAKELRESULT(3, MNC_SELECT), COwnerMenu::FindMenuShortcut('x', MF_POPUP, pMenu.get()));
    EXPECT_EQ(MAKELRESULT(3, MNC_SELECT), COwnerMenu::FindMenuShortcut('X', MF_POPUP, pMenu.get()));
    EXPECT_EQ(MAKELRESULT(0, MNC_SELECT), COwnerMenu::FindMenuShortcut('o', MF_POPUP, pMenu.get()));
    // "Save &As" and "Dis&abled" both hold "&a": the first position wins.
    EXPECT_EQ(MAKELRESULT(2, MNC_SELECT), COwnerMenu::FindMenuShortcut('A', MF_POPUP, pMenu.get()));
    EXPECT_EQ(0, COwnerMenu::FindMenuShortcut('q', MF_POPUP, pMenu.get()));
    EXPECT_EQ(0, COwnerMenu::FindMenuShortcut('x', 0, pMenu.get())) << "not a popup";
    EXPECT_EQ(0, COwnerMenu::FindMenuShortcut('x', MF_SYSMENU, pMenu.get()));

    CMenu plain;
    plain.CreatePopupMenu();
    plain.AppendMenu(MF_STRING, 1, "E&xit");
    EXPECT_EQ(0, COwnerMenu::FindMenuShortcut('x', MF_POPUP, &plain)) << "not one of ours";
    EXPECT_EQ(0, COwnerMenu::FindMenuShortcut('x', MF_POPUP, nullptr));
}

TEST_F(OwnerMenuTest, MnemonicSearchResynchronisesWithTheLiveMenu)
{
    auto pMenu = MakeMenu();
    // Inserted behind the menu's back, at the front.
    ::InsertMenuA(*pMenu, 0, MF_BYPOSITION | MF_STRING, 7, "&Zoom");
    EXPECT_EQ(MAKELRESULT(0, MNC_SELECT), COwnerMenu::FindMenuShortcut('z', MF_POPUP, pMenu.get()));
    EXPECT_EQ(6, pMenu->GetItemRecordCount());
    EXPECT_EQ(MAKELRESULT(4, MNC_SELECT), COwnerMenu::FindMenuShortcut('x', MF_POPUP, pMenu.get()));
}

TEST_F(OwnerMenuTest, ResyncItemsRebuildsTheRecordsInLiveOrder)
{
    auto pMenu = MakeMenu();
    const COwnerMenuItem* pExit = pMenu->GetItemRecord(3);
    ::DeleteMenu(*pMenu, 2, MF_BYCOMMAND);  // "Save &As" goes
    ::InsertMenuA(*pMenu, 1, MF_BYPOSITION | MF_STRING, 9, "&New");
    HMENU hPopup = ::CreatePopupMenu();
    ::AppendMenuA(hPopup, MF_STRING, 20, "Inner");
    ::AppendMenuA(*pMenu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(hPopup), "&Sub");
    ::AppendMenuA(*pMenu, MF_SEPARATOR, 0, nullptr);
    pMenu->ResyncItems();

    // Live: Open, New, separator, Exit, Disabled, Sub, separator.
    ASSERT_EQ(7, pMenu->GetMenuItemCount());
    ASSERT_EQ(7, pMenu->GetItemRecordCount());
    EXPECT_EQ(std::wstring(L"&New"), pMenu->GetItemRecord(1)->m_strText);
    EXPECT_EQ(UINT_PTR(9), pMenu->GetItemRecord(1)->m_nCommandId);
    EXPECT_TRUE(pMenu->GetItemRecord(2)->IsSeparator());
    EXPECT_EQ(pExit, pMenu->GetItemRecord(3)) << "an existing record is claimed, not rebuilt";
    EXPECT_TRUE(pMenu->GetItemRecord(4)->m_nFlags & MF_GRAYED);
    EXPECT_TRUE(pMenu->GetItemRecord(5)->IsPopup());
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(hPopup), pMenu->GetItemRecord(5)->m_nCommandId);
    EXPECT_EQ(std::wstring(L"&Sub"), pMenu->GetItemRecord(5)->m_strText);
    EXPECT_TRUE(pMenu->GetItemRecord(6)->IsSeparator());
    // Plain command items are owner-drawn again, with their records as data.
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_FTYPE | MIIM_DATA;
    ASSERT_TRUE(::GetMenuItemInfoW(*pMenu, 1, TRUE, &mii));
    EXPECT_TRUE(mii.fType & MFT_OWNERDRAW);
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(pMenu->GetItemRecord(1)), mii.dwItemData);
    // The greyed item kept its state.
    EXPECT_TRUE(::GetMenuState(*pMenu, 4, MF_BYPOSITION) & MF_GRAYED);
}

TEST_F(OwnerMenuTest, PopupsAreRegisteredAndReleased)
{
    auto pMenu = std::make_unique<COwnerMenu>();
    pMenu->CreatePopupMenu();
    HMENU hByHandle = ::CreatePopupMenu();
    ASSERT_TRUE(
        pMenu->AddOwnerDrawnItem(L"&Plain", MF_POPUP, reinterpret_cast<UINT_PTR>(hByHandle)));
    auto pSub = std::make_unique<COwnerMenu>();
    COwnerMenu* pSubRaw = pSub.get();
    ASSERT_TRUE(pMenu->AddOwnerDrawnPopup(L"&Object", 0, std::move(pSub)));
    HMENU hSub = pSubRaw->GetSafeHmenu();
    pSubRaw->AddOwnerDrawnItem(L"Deep &item", MF_STRING, 42);

    EXPECT_TRUE(COwnerMenu::IsOwnedMenu(hByHandle));
    EXPECT_TRUE(COwnerMenu::IsOwnedMenu(hSub));
    EXPECT_EQ(nullptr, COwnerMenu::FromOwnedHandle(hByHandle));
    EXPECT_EQ(pSubRaw, COwnerMenu::FromOwnedHandle(hSub));
    EXPECT_FALSE(COwnerMenu::IsOwnedMenu(pMenu.get())) << "only added popups are registered";
    CString text;
    EXPECT_TRUE(pMenu->ItemTextAt(42, text, FALSE)) << "by command, through the sub-menu";
    EXPECT_EQ(CString("Deep &item"), text);

    // Drawing requests for a sub-menu's record are found from the top menu.
    const COwnerMenu* pOwner = nullptr;
    EXPECT_NE(nullptr,
              pMenu->FindRecord(reinterpret_cast<ULONG_PTR>(pSubRaw->GetItemRecord(0)), &pOwner));
    EXPECT_EQ(pSubRaw, pOwner);

    EXPECT_TRUE(pMenu->DestroyMenu());
    EXPECT_FALSE(COwnerMenu::IsOwnedMenu(hByHandle));
    EXPECT_FALSE(COwnerMenu::IsOwnedMenu(hSub));
    EXPECT_FALSE(::IsMenu(hByHandle));
    EXPECT_FALSE(::IsMenu(hSub));
    EXPECT_EQ(0, pMenu->GetItemRecordCount());
    EXPECT_EQ(nullptr, pMenu->GetSafeHmenu());
}

// ---------------------------------------------------------------------------------------
// Loading from a resource

TEST_F(OwnerMenuTest, LoadMenuBuildsOwnerDrawnPopupsUnderAPlainTopLevel)
{
    COwnerMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_FLAT_TEST));
    EXPECT_TRUE(menu.IsFromResource());
    ASSERT_EQ(2, menu.GetMenuItemCount());
    ASSERT_EQ(2, menu.GetItemRecordCount());

    // The top level holds plain text items.
    for (UINT nPos = 0; nPos < 2; ++nPos) {
        MENUITEMINFOW mii{};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_FTYPE;
        ASSERT_TRUE(::GetMenuItemInfoW(menu, nPos, TRUE, &mii));
        EXPECT_FALSE(mii.fType & MFT_OWNERDRAW) << nPos;
    }
    CString text;
    menu.GetMenuString(0, text, MF_BYPOSITION);
    EXPECT_EQ(CString("&Tools"), text);
    menu.GetMenuString(1, text, MF_BYPOSITION);
    EXPECT_EQ(CString("&Help"), text);
    EXPECT_EQ(UINT(ID_FLAT_HELP), menu.GetMenuItemID(1));

    // The drop-down: Copy, Paste All, separator, More (popup), Exit, all owner-drawn.
    HMENU hTools = menu.GetSubMenu(0);
    ASSERT_TRUE(COwnerMenu::IsOwnedMenu(hTools));
    COwnerMenu* pTools = COwnerMenu::FromOwnedHandle(hTools);
    ASSERT_NE(nullptr, pTools);
    ASSERT_EQ(5, pTools->GetItemRecordCount());
    EXPECT_EQ(UINT_PTR(ID_FLAT_COPY), pTools->GetItemRecord(0)->m_nCommandId);
    EXPECT_TRUE(pTools->GetItemRecord(2)->IsSeparator());
    EXPECT_TRUE(pTools->GetItemRecord(3)->IsPopup());
    EXPECT_EQ(UINT_PTR(ID_FLAT_EXIT), pTools->GetItemRecord(4)->m_nCommandId);
    EXPECT_FALSE(pTools->GetItemRecord(4)->m_nFlags & 0x80) << "the end-of-level mark is dropped";
    for (int i = 0; i < 5; ++i) {
        MENUITEMINFOW mii{};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_FTYPE;
        ASSERT_TRUE(::GetMenuItemInfoW(hTools, UINT(i), TRUE, &mii));
        EXPECT_TRUE(mii.fType & MFT_OWNERDRAW) << i;
    }

    HMENU hMore = ::GetSubMenu(hTools, 3);
    COwnerMenu* pMore = COwnerMenu::FromOwnedHandle(hMore);
    ASSERT_NE(nullptr, pMore);
    ASSERT_EQ(2, pMore->GetItemRecordCount());
    EXPECT_TRUE(::GetMenuState(hMore, ID_FLAT_EXPORT, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_TRUE(::GetMenuState(hMore, ID_FLAT_IMPORT, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(menu.ItemTextAt(ID_FLAT_IMPORT, text, FALSE)) << "depth first through the popups";
    EXPECT_EQ(CString("&Import"), text);
}

TEST_F(OwnerMenuTest, LoadMenuAlignsTheAcceleratorsOfALevel)
{
    COwnerMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_FLAT_TEST));
    const COwnerMenu* pTools = COwnerMenu::FromOwnedHandle(menu.GetSubMenu(0));
    ASSERT_NE(nullptr, pTools);

    // Measure the labels the way the padding did: menu font, screen DC.
    NONCLIENTMETRICSA ncm{};
    ncm.cbSize = sizeof(ncm);
    ASSERT_TRUE(::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0));
    HFONT hFont = ::CreateFontIndirectA(&ncm.lfMenuFont);
    HDC hdc = ::GetDC(nullptr);
    HGDIOBJ hOld = ::SelectObject(hdc, hFont);
    auto width = [hdc](const std::string& s) {
        SIZE size{};
        ::GetTextExtentPoint32A(hdc, s.c_str(), int(s.size()), &size);
        return size.cx;
    };
    LONG nWidest = 0;
    for (const char* label : {"&Copy", "Paste &All", "&More", "E&xit"})
        nWidest = std::max(nWidest, width(std::string(label) + " "));

    CString copy, paste;
    ASSERT_TRUE(pTools->ItemTextAt(0, copy, TRUE));
    ASSERT_TRUE(pTools->ItemTextAt(1, paste, TRUE));
    const std::string strCopy = copy.str(), strPaste = paste.str();
    ASSERT_NE(std::string::npos, strCopy.find('\t'));
    EXPECT_EQ("&Copy ", strCopy.substr(0, 6)) << "padded with spaces";
    EXPECT_EQ("\tCtrl+C", strCopy.substr(strCopy.find('\t')));
    EXPECT_EQ("\tCtrl+Shift+V", strPaste.substr(strPaste.find('\t')));
    EXPECT_GE(width(strCopy.substr(0, strCopy.find('\t'))), nWidest);
    EXPECT_GE(width(strPaste.substr(0, strPaste.find('\t'))), nWidest);
    // One space less would be too narrow: the padding stops as soon as it is wide enough.
    const std::string shorter = strCopy.substr(0, strCopy.find('\t') - 1);
    EXPECT_LT(width(shorter), nWidest);
    CString exitText;
    pTools->ItemTextAt(4, exitText, TRUE);
    EXPECT_EQ(CString("E&xit"), exitText) << "items without accelerator keep their text";

    ::SelectObject(hdc, hOld);
    ::ReleaseDC(nullptr, hdc);
    ::DeleteObject(hFont);
}

TEST_F(OwnerMenuTest, LoadMenuFailures)
{
    COwnerMenu menu;
    EXPECT_FALSE(menu.LoadMenu(12345));
    EXPECT_FALSE(menu.LoadMenu("NO_SUCH_MENU"));
    EXPECT_EQ(nullptr, menu.GetSafeHmenu());
    // A template whose popup level never closes: refused, nothing left behind.
    EXPECT_FALSE(menu.LoadMenu(IDM_FLAT_BROKEN));
    EXPECT_EQ(nullptr, menu.GetSafeHmenu());
    EXPECT_EQ(0, menu.GetItemRecordCount());
    // The object is still usable afterwards.
    EXPECT_TRUE(menu.LoadMenu(IDM_FLAT_TEST));
}

TEST_F(OwnerMenuTest, ReloadingAndDestroyingReleaseEverything)
{
    COwnerMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_FLAT_TEST));
    HMENU hTools = menu.GetSubMenu(0);
    HMENU hMore = ::GetSubMenu(hTools, 3);
    ASSERT_TRUE(menu.LoadMenu(IDM_FLAT_TEST));
    EXPECT_FALSE(COwnerMenu::IsOwnedMenu(hTools));
    EXPECT_FALSE(COwnerMenu::IsOwnedMenu(hMore));
    EXPECT_FALSE(::IsMenu(hTools));
    EXPECT_FALSE(::IsMenu(hMore));
    HMENU hTools2 = menu.GetSubMenu(0);
    EXPECT_TRUE(COwnerMenu::IsOwnedMenu(hTools2));
    menu.DestroyMenu();
    EXPECT_FALSE(COwnerMenu::IsOwnedMenu(hTools2));
    EXPECT_FALSE(menu.IsFromResource());
}

TEST_F(OwnerMenuTest, AddingToAResourceMenuKeepsItsTopLevelPlain)
{
    COwnerMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_FLAT_TEST));
    HMENU hExtra = ::CreatePopupMenu();
    ::AppendMenuA(hExtra, MF_STRING, 50, "x");
    ASSERT_TRUE(menu.AddOwnerDrawnItem(L"&Extra", MF_POPUP, reinterpret_cast<UINT_PTR>(hExtra)));
    ASSERT_EQ(3, menu.GetMenuItemCount());
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_FTYPE | MIIM_SUBMENU;
    ASSERT_TRUE(::GetMenuItemInfoW(menu, 2, TRUE, &mii));
    EXPECT_FALSE(mii.fType & MFT_OWNERDRAW);
    EXPECT_EQ(hExtra, mii.hSubMenu);
    EXPECT_EQ(UINT(MF_BYPOSITION | MF_POPUP), menu.GetItemRecord(2)->m_nFlags);
    CString text;
    menu.GetMenuString(2, text, MF_BYPOSITION);
    EXPECT_EQ(CString("&Extra"), text);
}

// ---------------------------------------------------------------------------------------
// Measuring

class OwnerMenuMeasureTest : public OwnerMenuTest {
protected:
    MEASUREITEMSTRUCT Measure(COwnerMenu& menu, int nIndex)
    {
        MEASUREITEMSTRUCT mis{};
        mis.CtlType = ODT_MENU;
        mis.itemID = UINT(menu.GetItemRecord(nIndex)->m_nCommandId);
        mis.itemData = reinterpret_cast<ULONG_PTR>(menu.GetItemRecord(nIndex));
        menu.MeasureItem(&mis);
        return mis;
    }
    // The text width as the measuring does it: a DC of the desktop, with the menu font
    // on systems from Windows 95 on, the DC's own font otherwise.
    static LONG TextWidth(const wchar_t* psz)
    {
        NONCLIENTMETRICSA ncm{};
        ncm.cbSize = sizeof(ncm);
        ::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0);
        HFONT hFont = ::CreateFontIndirectA(&ncm.lfMenuFont);
        HDC hdc = ::GetDC(::GetDesktopWindow());
        HGDIOBJ hOld =
            COwnerMenu::GetShared().osVersionCode >= 2 ? ::SelectObject(hdc, hFont) : nullptr;
        SIZE size{};
        ::GetTextExtentPoint32W(hdc, psz, int(wcslen(psz)), &size);
        if (hOld)
            ::SelectObject(hdc, hOld);
        ::ReleaseDC(::GetDesktopWindow(), hdc);
        ::DeleteObject(hFont);
        return size.cx;
    }
};

TEST_F(OwnerMenuMeasureTest, ClassicLook)
{
    UseLook(false);
    auto pMenu = MakeMenu();
    const MEASUREITEMSTRUCT item = Measure(*pMenu, 0);
    EXPECT_EQ(UINT(TextWidth(L"&Open\tCtrl+O") + 2 * 16 + 1), item.itemWidth);
    EXPECT_EQ(UINT(std::max(::GetSystemMetrics(SM_CYMENU), 15 + 4)), item.itemHeight);
    const MEASUREITEMSTRUCT separator = Measure(*pMenu, 1);
    EXPECT_EQ(0u, separator.itemWidth);
    EXPECT_EQ(UINT(std::max(::GetSystemMetrics(SM_CYMENU) / 2, (15 + 4) / 2)),
              separator.itemHeight);
}

TEST_F(OwnerMenuMeasureTest, FlatLook)
{
    UseLook(true);
    auto pMenu = MakeMenu();
    const MEASUREITEMSTRUCT item = Measure(*pMenu, 2);
    EXPECT_EQ(UINT(TextWidth(L"Save &As") + 16 + 7 + 8), item.itemWidth);
    EXPECT_EQ(UINT(std::max(::GetSystemMetrics(SM_CYMENU), 15 + 7)), item.itemHeight);
    const MEASUREITEMSTRUCT separator = Measure(*pMenu, 1);
    EXPECT_EQ(0u, separator.itemWidth);
    EXPECT_EQ(UINT(std::max(::GetSystemMetrics(SM_CYMENU) / 2, (15 + 7) / 2)),
              separator.itemHeight);

    // Without the wide gap the flat look uses 4 pixels.
    COwnerMenu::Shared& shared = COwnerMenu::GetShared();
    shared.wideImageGap = FALSE;
    const MEASUREITEMSTRUCT narrow = Measure(*pMenu, 2);
    shared.wideImageGap = TRUE;
    EXPECT_EQ(item.itemWidth - 3, narrow.itemWidth);
}

TEST_F(OwnerMenuMeasureTest, SeparatorIsAtLeastHalfTheMenuBar)
{
    UseLook(false);
    auto pMenu = MakeMenu();
    pMenu->m_nImageHeight = 2;  // small image cells leave half the menu bar
    const MEASUREITEMSTRUCT separator = Measure(*pMenu, 1);
    EXPECT_EQ(0u, separator.itemWidth);
    EXPECT_EQ(UINT(::GetSystemMetrics(SM_CYMENU) / 2), separator.itemHeight);
}

// ---------------------------------------------------------------------------------------
// Painting

class OwnerMenuPaintTest : public OwnerMenuTest {
protected:
    static const int kWidth = 200;
    static const int kHeight = 24;

    void Paint(COwnerMenu& menu, int nIndex, UINT nState, TestDib& dib)
    {
        DRAWITEMSTRUCT dis{};
        dis.CtlType = ODT_MENU;
        dis.itemID = UINT(menu.GetItemRecord(nIndex)->m_nCommandId);
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState = nState;
        dis.hwndItem = reinterpret_cast<HWND>(menu.GetSafeHmenu());
        dis.hDC = dib.dc();
        dis.rcItem = RECT{0, 0, kWidth, kHeight};
        dis.itemData = reinterpret_cast<ULONG_PTR>(menu.GetItemRecord(nIndex));
        menu.DrawItem(&dis);
    }
    static COLORREF Sys(int nIndex) { return ::GetSysColor(nIndex); }
    // The background of the classic look.
    static COLORREF ClassicBack()
    {
        return Sys(COwnerMenu::FlatThemeCheck() ? COLOR_BTNFACE : COLOR_MENU);
    }
    static COLORREF FlatBand()
    {
        return COwnerMenu::FlatThemeCheck()
                   ? Sys(COLOR_BTNFACE)
                   : COwnerMenu::BlendTowardWhite(Sys(COLOR_BTNFACE), 0.25);
    }
    static COLORREF FlatSelection()
    {
        return COwnerMenu::BlendTowardWhite(Sys(COLOR_HIGHLIGHT),
                                            COwnerMenu::FlatThemeCheck() ? 0.7 : 0.85);
    }
};

TEST_F(OwnerMenuPaintTest, ClassicPlainItem)
{
    UseLook(false);
    auto pMenu = MakeMenu();
    TestDib dib(kWidth, kHeight, kSentinel);
    Paint(*pMenu, 2, 0, dib);
    EXPECT_EQ(0, dib.Count(0, 0, kWidth, kHeight, kSentinel));
    EXPECT_EQ(ClassicBack(), dib.Pixel(0, 0));
    EXPECT_EQ(ClassicBack(), dib.Pixel(kWidth - 1, kHeight - 1));
    EXPECT_EQ(ClassicBack(), dib.Pixel(10, 12)) << "nothing in the check column";
    // The label starts imageWidth + 9 pixels in.
    const COLORREF clrText = Sys(COLOR_MENUTEXT);
    EXPECT_EQ(0, dib.Count(0, 0, 16 + 9, kHeight, clrText));
    EXPECT_GT(dib.Count(16 + 9, 0, 120, kHeight, clrText), 0);
}

TEST_F(OwnerMenuPaintTest, ClassicSelectedItem)
{
    UseLook(false);
    auto pMenu = MakeMenu();
    TestDib dib(kWidth, kHeight, kSentinel);
    Paint(*pMenu, 2, ODS_SELECTED, dib);
    EXPECT_EQ(Sys(COLOR_HIGHLIGHT), dib.Pixel(0, 0)) << "no check: the whole item is highlighted";
    EXPECT_EQ(Sys(COLOR_HIGHLIGHT), dib.Pixel(kWidth - 1, kHeight - 1));
    EXPECT_GT(dib.Count(25, 0, 120, kHeight, Sys(COLOR_HIGHLIGHTTEXT)), 0);
    if (Sys(COLOR_HIGHLIGHTTEXT) != Sys(COLOR_MENUTEXT)) {
        EXPECT_EQ(0, dib.Count(0, 0, kWidth, kHeight, Sys(COLOR_MENUTEXT)));
    }
}

TEST_F(OwnerMenuPaintTest, ClassicCheckedItemsDrawATickOrARadioDot)
{
    UseLook(false);
    auto pMenu = MakeMenu();
    ::CheckMenuItem(*pMenu, 2, MF_BYCOMMAND | MF_CHECKED);
    const COLORREF clrMark = Sys(COLOR_MENUTEXT);

    // Selected and checked: the highlight starts imageWidth + 5 pixels in.
    TestDib selected(kWidth, kHeight, kSentinel);
    Paint(*pMenu, 2, ODS_SELECTED | ODS_CHECKED, selected);
    EXPECT_EQ(kSentinel, selected.Pixel(0, 0)) << "the check column is not filled";
    EXPECT_EQ(Sys(COLOR_HIGHLIGHT), selected.Pixel(16 + 5, 0));
    EXPECT_EQ(kSentinel, selected.Pixel(16 + 4, 0));
    // d = (24 - 15 - 4) / 2 = 2: box (1, 4) to (17, 19); tick at (5, 8).
    EXPECT_EQ(ClassicBack(), selected.Pixel(2, 5))
        << "a selected item's box has the plain background";
    const struct {
        int x, y;
    } tick[] = {{5, 10}, {5, 12}, {6, 11}, {7, 12}, {7, 14},
                {8, 11}, {9, 10}, {10, 9}, {11, 8}, {11, 10}};
    for (const auto& p : tick)
        EXPECT_EQ(clrMark, selected.Pixel(p.x, p.y)) << p.x << "," << p.y;
    EXPECT_NE(clrMark, selected.Pixel(5, 9));
    EXPECT_NE(clrMark, selected.Pixel(5, 13));
    EXPECT_NE(clrMark, selected.Pixel(11, 11));
    EXPECT_NE(clrMark, selected.Pixel(12, 8));

    // Not selected: the box is lighter.
    TestDib plain(kWidth, kHeight, kSentinel);
    Paint(*pMenu, 2, ODS_CHECKED, plain);
    EXPECT_EQ(COwnerMenu::BlendTowardWhite(ClassicBack(), 0.6), plain.Pixel(3, 6));
    EXPECT_EQ(clrMark, plain.Pixel(5, 10));

    // A checked-state bitmap makes the mark a radio dot at (6, 8) to (12, 14).
    HBITMAP hMark = ::CreateBitmap(8, 8, 1, 1, nullptr);
    ::SetMenuItemBitmaps(*pMenu, 2, MF_BYCOMMAND, nullptr, hMark);
    TestDib radio(kWidth, kHeight, kSentinel);
    Paint(*pMenu, 2, ODS_CHECKED, radio);
    EXPECT_EQ(clrMark, radio.Pixel(9, 11));
    EXPECT_EQ(clrMark, radio.Pixel(8, 10));
    EXPECT_NE(clrMark, radio.Pixel(5, 10)) << "no tick";
    EXPECT_NE(clrMark, radio.Pixel(12, 11));
    ::SetMenuItemBitmaps(*pMenu, 2, MF_BYCOMMAND, nullptr, nullptr);
    ::DeleteObject(hMark);
}

TEST_F(OwnerMenuPaintTest, ClassicDisabledItems)
{
    UseLook(false);
    auto pMenu = MakeMenu();
    TestDib dib(kWidth, kHeight, kSentinel);
    Paint(*pMenu, 4, ODS_GRAYED, dib);
    EXPECT_GT(dib.Count(25, 0, 150, kHeight, Sys(COLOR_GRAYTEXT)), 0);
    EXPECT_GT(dib.Count(25, 0, 150, kHeight, Sys(COLOR_BTNHIGHLIGHT)), 0) << "embossed";
    EXPECT_EQ(0, dib.Count(0, 0, kWidth, kHeight, Sys(COLOR_MENUTEXT)));

    // Disabled and selected: highlighted, the text in the background colour.
    TestDib selected(kWidth, kHeight, kSentinel);
    Paint(*pMenu, 4, ODS_GRAYED | ODS_SELECTED, selected);
    EXPECT_EQ(Sys(COLOR_HIGHLIGHT), selected.Pixel(0, 0));
    EXPECT_GT(selected.Count(25, 0, 150, kHeight, ClassicBack()), 0);

    // ... unless a disabled item may not show the selection.
    COwnerMenu::GetShared().classicSelectDisabled = FALSE;
    TestDib unselected(kWidth, kHeight, kSentinel);
    Paint(*pMenu, 4, ODS_GRAYED | ODS_SELECTED, unselected);
    EXPECT_EQ(ClassicBack(), unselected.Pixel(0, 0));
    EXPECT_GT(unselected.Count(25, 0, 150, kHeight, Sys(COLOR_GRAYTEXT)), 0);
}

TEST_F(OwnerMenuPaintTest, ClassicSeparatorIsAnEtchedLine)
{
    UseLook(false);
    auto pMenu = MakeMenu();
    TestDib dib(kWidth, 10, kSentinel);
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_MENU;
    dis.hwndItem = reinterpret_cast<HWND>(pMenu->GetSafeHmenu());
    dis.hDC = dib.dc();
    dis.rcItem = RECT{0, 0, kWidth, 10};
    dis.itemData = reinterpret_cast<ULONG_PTR>(pMenu->GetItemRecord(1));
    pMenu->DrawItem(&dis);
    EXPECT_EQ(ClassicBack(), dib.Pixel(50, 2));
    EXPECT_EQ(Sys(COLOR_BTNSHADOW), dib.Pixel(50, 5));
    EXPECT_EQ(Sys(COLOR_BTNHIGHLIGHT), dib.Pixel(50, 6));
    EXPECT_EQ(ClassicBack(), dib.Pixel(50, 8));
}

TEST_F(OwnerMenuPaintTest, AcceleratorIsRightAlignedOneImageWidthIn)
{
    UseLook(false);
    auto pMenu = MakeMenu();
    TestDib dib(kWidth, kHeight, kSentinel);
    Paint(*pMenu, 0, 0, dib);
    const COLORREF clrText = Sys(COLOR_MENUTEXT);
    EXPECT_GT(dib.Count(25, 0, 80, kHeight, clrText), 0) << "label";
    EXPECT_GT(dib.Count(kWidth - 16 - 40, 0, kWidth - 16, kHeight, clrText), 0) << "accelerator";
    EXPECT_EQ(0, dib.Count(kWidth - 16, 0, kWidth, kHeight, clrText));
    // The label has no tab glyph and the accelerator stands apart from it.
    EXPECT_EQ(0, dib.Count(90, 0, kWidth - 16 - 45, kHeight, clrText));
}

TEST_F(OwnerMenuPaintTest, FlatPlainItemHasAShadedBand)
{
    UseLook(true);
    auto pMenu = MakeMenu();
    TestDib dib(kWidth, kHeight, kSentinel);
    Paint(*pMenu, 2, 0, dib);
    EXPECT_EQ(0, dib.Count(0, 0, kWidth, kHeight, kSentinel));
    EXPECT_EQ(FlatBand(), dib.Pixel(0, 0));
    EXPECT_EQ(FlatBand(), dib.Pixel(22, 12)) << "band = imageWidth + 7";
    EXPECT_EQ(Sys(COLOR_WINDOW), dib.Pixel(23, 12));
    EXPECT_EQ(Sys(COLOR_WINDOW), dib.Pixel(kWidth - 1, 0));
    const COLORREF clrText = Sys(COLOR_MENUTEXT);
    EXPECT_EQ(0, dib.Count(0, 0, 23 + 8, kHeight, clrText));
    EXPECT_GT(dib.Count(23 + 8, 0, 120, kHeight, clrText), 0);
}

TEST_F(OwnerMenuPaintTest, FlatSelectedItem)
{
    UseLook(true);
    auto pMenu = MakeMenu();
    TestDib dib(kWidth, kHeight, kSentinel);
    Paint(*pMenu, 2, ODS_SELECTED, dib);
    EXPECT_EQ(Sys(COLOR_HIGHLIGHT), dib.Pixel(0, 0)) << "frame";
    EXPECT_EQ(Sys(COLOR_HIGHLIGHT), dib.Pixel(kWidth - 1, kHeight - 1));
    EXPECT_EQ(FlatSelection(), dib.Pixel(5, 12)) << "the band is filled too";
    EXPECT_EQ(FlatSelection(), dib.Pixel(kWidth - 5, 12));
    EXPECT_GT(dib.Count(31, 0, 120, kHeight, Sys(COLOR_MENUTEXT)), 0)
        << "selected text keeps the menu text colour";
}

TEST_F(OwnerMenuPaintTest, FlatCheckedItemDrawsItsBoxInTheBand)
{
    UseLook(true);
    auto pMenu = MakeMenu();
    ::CheckMenuItem(*pMenu, 2, MF_BYCOMMAND | MF_CHECKED);
    TestDib dib(kWidth, kHeight, kSentinel);
    Paint(*pMenu, 2, ODS_CHECKED, dib);
    // Box 16 x 16 at (4, 4): offsets (23 - 16) * 0.5 + 0.5 = 4 and (24 - 16) * 0.5 + 0.5 = 4.
    const COLORREF clrHighlight = Sys(COLOR_HIGHLIGHT);
    EXPECT_EQ(clrHighlight, dib.Pixel(4, 4));
    EXPECT_EQ(clrHighlight, dib.Pixel(19, 19));
    EXPECT_EQ(FlatBand(), dib.Pixel(3, 3));
    EXPECT_EQ(FlatBand(), dib.Pixel(20, 20));
    EXPECT_EQ(COwnerMenu::BlendTowardWhite(clrHighlight, 0.85), dib.Pixel(6, 6));
    // The tick at (9, 8).
    const COLORREF clrMark = Sys(COLOR_MENUTEXT);
    for (const auto& p : {POINT{9, 10}, POINT{9, 12}, POINT{11, 12}, POINT{15, 8}, POINT{15, 10}})
        EXPECT_EQ(clrMark, dib.Pixel(p.x, p.y)) << p.x << "," << p.y;
    EXPECT_NE(clrMark, dib.Pixel(9, 9));

    HBITMAP hMark = ::CreateBitmap(8, 8, 1, 1, nullptr);
    ::SetMenuItemBitmaps(*pMenu, 2, MF_BYCOMMAND, nullptr, hMark);
    TestDib radio(kWidth, kHeight, kSentinel);
    Paint(*pMenu, 2, ODS_CHECKED, radio);
    EXPECT_EQ(clrMark, radio.Pixel(12, 11)) << "dot (9, 8) to (15, 14)";
    EXPECT_NE(clrMark, radio.Pixel(9, 12)) << "no tick";
    ::SetMenuItemBitmaps(*pMenu, 2, MF_BYCOMMAND, nullptr, nullptr);
    ::DeleteObject(hMark);
}

TEST_F(OwnerMenuPaintTest, FlatDisabledItemIsPaintedOffScreenAndNeverSelected)
{
    UseLook(true);
    auto pMenu = MakeMenu();
    TestDib dib(kWidth, kHeight, kSentinel);
    Paint(*pMenu, 4, ODS_GRAYED | ODS_SELECTED, dib);
    EXPECT_EQ(0, dib.Count(0, 0, kWidth, kHeight, kSentinel))
        << "the whole off-screen picture arrived";
    EXPECT_EQ(FlatBand(), dib.Pixel(5, 12)) << "not selected";
    EXPECT_EQ(Sys(COLOR_WINDOW), dib.Pixel(kWidth - 1, 0));
    const COLORREF clrGray = COwnerMenu::FlatThemeCheck()
                                 ? Sys(COLOR_GRAYTEXT)
                                 : COwnerMenu::BlendTowardWhite(Sys(COLOR_GRAYTEXT), 0.4);
    EXPECT_GT(dib.Count(31, 0, 150, kHeight, clrGray), 0);
    EXPECT_EQ(0, dib.Count(0, 0, kWidth, kHeight, Sys(COLOR_MENUTEXT)));

    // When disabled items may be selected, they are, and their text is plain grey.
    COwnerMenu::GetShared().flatSelectDisabled = TRUE;
    TestDib selected(kWidth, kHeight, kSentinel);
    Paint(*pMenu, 4, ODS_GRAYED | ODS_SELECTED, selected);
    EXPECT_EQ(FlatSelection(), selected.Pixel(5, 12));
    EXPECT_GT(selected.Count(31, 0, 150, kHeight, Sys(COLOR_GRAYTEXT)), 0);
}

TEST_F(OwnerMenuPaintTest, FlatSeparatorStartsAfterTheBand)
{
    UseLook(true);
    auto pMenu = MakeMenu();
    TestDib dib(kWidth, 10, kSentinel);
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_MENU;
    dis.hwndItem = reinterpret_cast<HWND>(pMenu->GetSafeHmenu());
    dis.hDC = dib.dc();
    dis.rcItem = RECT{0, 0, kWidth, 10};
    dis.itemData = reinterpret_cast<ULONG_PTR>(pMenu->GetItemRecord(1));
    pMenu->DrawItem(&dis);
    EXPECT_EQ(FlatBand(), dib.Pixel(10, 5));
    EXPECT_EQ(Sys(COLOR_WINDOW), dib.Pixel(29, 5)) << "gap of 7 after the band";
    EXPECT_EQ(Sys(COLOR_BTNSHADOW), dib.Pixel(30, 5));
    EXPECT_EQ(Sys(COLOR_BTNHIGHLIGHT), dib.Pixel(100, 6));
    EXPECT_EQ(Sys(COLOR_WINDOW), dib.Pixel(100, 2));
}

TEST_F(OwnerMenuPaintTest, PaintHandsTheDcBackUnchangedInBothLooks)
{
    auto pMenu = MakeMenu();
    ::CheckMenuItem(*pMenu, 2, MF_BYCOMMAND | MF_CHECKED);
    TestDib dib(kWidth, kHeight, kSentinel);
    HPEN hPen = ::CreatePen(PS_SOLID, 3, RGB(9, 9, 9));
    HBRUSH hBrush = ::CreateSolidBrush(RGB(7, 7, 7));
    HFONT hFont = static_cast<HFONT>(::GetStockObject(ANSI_VAR_FONT));
    HGDIOBJ hOldPen = ::SelectObject(dib.dc(), hPen);
    HGDIOBJ hOldBrush = ::SelectObject(dib.dc(), hBrush);
    HGDIOBJ hOldFont = ::SelectObject(dib.dc(), hFont);
    ::SetTextColor(dib.dc(), RGB(11, 12, 13));
    ::SetBkMode(dib.dc(), OPAQUE);

    const DWORD nGdiBefore = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    for (bool bFlat : {false, true}) {
        UseLook(bFlat);
        for (int i = 0; i < 5; ++i)
            for (UINT nState :
                 {0u, UINT(ODS_SELECTED), UINT(ODS_CHECKED | ODS_SELECTED), UINT(ODS_GRAYED)})
                Paint(*pMenu, i, nState, dib);
    }
    EXPECT_EQ(nGdiBefore, ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS));
    // Wine counts no GDI objects: paint with the handle table nearly full, so that a
    // leak of one object a paint would exhaust it.
    GdiTableSqueeze squeeze;
    ASSERT_GT(squeeze.Filled(), 1000u);
    for (bool bFlat : {false, true}) {
        UseLook(bFlat);
        for (int i = 0; i < kSqueezeRepeats / 8; ++i) {
            Paint(*pMenu, 0, ODS_SELECTED, dib);
            Paint(*pMenu, 2, ODS_CHECKED, dib);
            Paint(*pMenu, 4, ODS_GRAYED, dib);  // the flat look paints this one off-screen
            Paint(*pMenu, 1, 0, dib);
        }
    }
    EXPECT_TRUE(CanStillCreateGdiObjects());
    EXPECT_EQ(hPen, ::GetCurrentObject(dib.dc(), OBJ_PEN));
    EXPECT_EQ(hBrush, ::GetCurrentObject(dib.dc(), OBJ_BRUSH));
    EXPECT_EQ(hFont, ::GetCurrentObject(dib.dc(), OBJ_FONT));
    EXPECT_EQ(RGB(11, 12, 13), ::GetTextColor(dib.dc()));
    EXPECT_EQ(OPAQUE, ::GetBkMode(dib.dc()));
    ::SelectObject(dib.dc(), hOldPen);
    ::SelectObject(dib.dc(), hOldBrush);
    ::SelectObject(dib.dc(), hOldFont);
    ::DeleteObject(hPen);
    ::DeleteObject(hBrush);
}

TEST_F(OwnerMenuPaintTest, UnknownItemDataIsNotDrawn)
{
    auto pMenu = MakeMenu();
    TestDib dib(kWidth, kHeight, kSentinel);
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_MENU;
    dis.hDC = dib.dc();
    dis.rcItem = RECT{0, 0, kWidth, kHeight};
    COwnerMenuItem stranger;
    dis.itemData = reinterpret_cast<ULONG_PTR>(&stranger);
    pMenu->DrawItem(&dis);
    EXPECT_EQ(kWidth * kHeight, dib.Count(0, 0, kWidth, kHeight, kSentinel));
}

TEST_F(OwnerMenuPaintTest, ItemWithASharedImageDrawsIt)
{
    UseLook(false);
    HIMAGELIST hImages = ::ImageList_Create(16, 15, ILC_COLOR32, 1, 0);
    HDC hdcScreen = ::GetDC(nullptr);
    HBITMAP hImage = ::CreateCompatibleBitmap(hdcScreen, 16, 15);
    ::ReleaseDC(nullptr, hdcScreen);
    {
        TestDib paint(16, 15, RGB(200, 0, 0));
        HDC hdcMem = ::CreateCompatibleDC(paint.dc());
        HGDIOBJ hOld = ::SelectObject(hdcMem, hImage);
        ::BitBlt(hdcMem, 0, 0, 16, 15, paint.dc(), 0, 0, SRCCOPY);
        ::SelectObject(hdcMem, hOld);
        ::DeleteDC(hdcMem);
    }
    ASSERT_EQ(0, ::ImageList_Add(hImages, hImage, nullptr));
    ::DeleteObject(hImage);
    COwnerMenu::SetSharedImages(hImages, {77});

    COwnerMenu menu;
    menu.CreatePopupMenu();
    menu.AddOwnerDrawnItem(L"&Picture", MF_STRING, 77);
    menu.AddOwnerDrawnItem(L"&None", MF_STRING, 78);
    EXPECT_EQ(0, menu.GetItemRecord(0)->m_nSharedImageIndex);
    EXPECT_EQ(-1, menu.GetItemRecord(1)->m_nSharedImageIndex);
    TestDib dib(kWidth, kHeight, kSentinel);
    Paint(menu, 0, 0, dib);
    EXPECT_GT(dib.Count(0, 0, 20, kHeight, RGB(200, 0, 0)), 100);
    TestDib none(kWidth, kHeight, kSentinel);
    Paint(menu, 1, 0, none);
    EXPECT_EQ(0, none.Count(0, 0, kWidth, kHeight, RGB(200, 0, 0)));
    COwnerMenu::SetSharedImages(nullptr, {});
}

TEST(OwnerMenuMemDC, DrawsOffScreenAndCopiesOnDestruction)
{
    TestDib target(40, 20, kSentinel);
    const RECT rc{10, 5, 30, 15};
    {
        COwnerMenuMemDC memDC(target.dc(), rc);
        EXPECT_TRUE(memDC.IsOffScreen());
        EXPECT_NE(target.dc(), memDC.GetSafeHdc());
        // Drawn in the target's coordinates.
        memDC.FillSolidRect(rc, RGB(50, 60, 70));
        EXPECT_EQ(kSentinel, target.Pixel(15, 10)) << "nothing on the target yet";
    }
    EXPECT_EQ(RGB(50, 60, 70), target.Pixel(10, 5));
    EXPECT_EQ(RGB(50, 60, 70), target.Pixel(29, 14));
    EXPECT_EQ(kSentinel, target.Pixel(9, 5));
    EXPECT_EQ(kSentinel, target.Pixel(30, 14));
    EXPECT_EQ(kSentinel, target.Pixel(15, 15));
}

TEST(OwnerMenuDraw, TickAndRadioDotShapes)
{
    TestDib dib(20, 20, RGB(255, 255, 255));
    OwnerMenuDraw::Tick(dib.dc(), 2, 3, RGB(0, 0, 0));
    const int kStart[7] = {2, 3, 4, 3, 2, 1, 0};
    int nBlack = 0;
    for (int i = 0; i < 7; ++i)
        for (int y = 0; y < 20; ++y) {
            const bool bInStroke = y >= 3 + kStart[i] && y < 3 + kStart[i] + 3;
            EXPECT_EQ(bInStroke, dib.Pixel(2 + i, y) == RGB(0, 0, 0)) << i << "," << y;
        }
    nBlack = dib.Count(0, 0, 20, 20, RGB(0, 0, 0));
    EXPECT_EQ(21, nBlack);

    TestDib dot(20, 20, RGB(255, 255, 255));
    OwnerMenuDraw::RadioDot(dot.dc(), 4, 4, RGB(0, 0, 0));
    EXPECT_EQ(RGB(0, 0, 0), dot.Pixel(7, 7));
    EXPECT_EQ(0, dot.Count(10, 0, 20, 20, RGB(0, 0, 0))) << "ellipse ends before x + 6";
    EXPECT_EQ(0, dot.Count(0, 10, 20, 20, RGB(0, 0, 0)));
    EXPECT_EQ(0, dot.Count(0, 0, 4, 20, RGB(0, 0, 0)));
}

}  // namespace

namespace {

// The registry belongs to the thread that started the program; a menu made on another
// thread (a message box on the export worker) keeps to plain items and sees no popups.
TEST(OwnerMenuThreads, RegistryIsConfinedToTheUserInterfaceThread)
{
    EXPECT_TRUE(COwnerMenu::IsOwnerThread());
    COwnerMenu owned;
    ASSERT_TRUE(owned.LoadMenu(IDM_FLAT_TEST));
    HMENU hTools = owned.GetSubMenu(0);
    ASSERT_TRUE(COwnerMenu::IsOwnedMenu(hTools));

    struct Seen {
        bool bOwnerThread = true;
        bool bSeesOwned = true;
        BOOL bLoaded = TRUE;
        BOOL bPlainAdded = FALSE;
        BOOL bPopupAdded = TRUE;
        int nRecords = -1;
    } seen;
    std::thread worker([&seen, hTools] {
        seen.bOwnerThread = COwnerMenu::IsOwnerThread();
        seen.bSeesOwned =
            COwnerMenu::IsOwnedMenu(hTools) || COwnerMenu::FromOwnedHandle(hTools) != nullptr;
        COwnerMenu menu;
        seen.bLoaded = menu.LoadMenu(IDM_FLAT_TEST);
        menu.CreatePopupMenu();
        seen.bPlainAdded = menu.AddOwnerDrawnItem(L"&Plain", MF_STRING, 5);
        HMENU hPopup = ::CreatePopupMenu();
        seen.bPopupAdded =
            menu.AddOwnerDrawnItem(L"&Popup", MF_POPUP, reinterpret_cast<UINT_PTR>(hPopup));
        if (!seen.bPopupAdded)
            ::DestroyMenu(hPopup);
        seen.nRecords = menu.GetItemRecordCount();
        CFlatButton button;  // constructed and destroyed there, as the worker's message boxes do
    });
    worker.join();
    EXPECT_FALSE(seen.bOwnerThread);
    EXPECT_FALSE(seen.bSeesOwned);
    EXPECT_FALSE(seen.bLoaded);
    EXPECT_TRUE(seen.bPlainAdded);
    EXPECT_FALSE(seen.bPopupAdded);
    EXPECT_EQ(1, seen.nRecords);
    EXPECT_TRUE(COwnerMenu::IsOwnedMenu(hTools)) << "the worker's menus touched nothing of ours";
}

}  // namespace

namespace {

// An image list of one 16 x 15 image in one colour.
HIMAGELIST MakeImages(COLORREF clr)
{
    HIMAGELIST hImages = ::ImageList_Create(16, 15, ILC_COLOR32, 1, 0);
    HDC hdcScreen = ::GetDC(nullptr);
    HBITMAP hImage = ::CreateCompatibleBitmap(hdcScreen, 16, 15);
    ::ReleaseDC(nullptr, hdcScreen);
    TestDib paint(16, 15, clr);
    HDC hdcMem = ::CreateCompatibleDC(paint.dc());
    HGDIOBJ hOld = ::SelectObject(hdcMem, hImage);
    ::BitBlt(hdcMem, 0, 0, 16, 15, paint.dc(), 0, 0, SRCCOPY);
    ::SelectObject(hdcMem, hOld);
    ::DeleteDC(hdcMem);
    ::ImageList_Add(hImages, hImage, nullptr);
    ::DeleteObject(hImage);
    return hImages;
}

TEST_F(OwnerMenuPaintTest, CustomCheckImagesReplaceTheTickAndSurviveLoading)
{
    UseLook(false);
    const COLORREF kCheck = RGB(0, 180, 0);
    COwnerMenu menu;
    HIMAGELIST hImages = MakeImages(kCheck);
    menu.SetCheckImages(hImages, 0, 0, FALSE);
    ASSERT_TRUE(menu.LoadMenu(IDM_FLAT_TEST));
    ASSERT_EQ(1, ::ImageList_GetImageCount(hImages)) << "loading kept the owner's check images";

    // "E&xport" in the nested popup is checked; the popup inherited the check images.
    COwnerMenu* pMore = COwnerMenu::FromOwnedHandle(::GetSubMenu(menu.GetSubMenu(0), 3));
    ASSERT_NE(nullptr, pMore);
    TestDib dib(kWidth, kHeight, kSentinel);
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_MENU;
    dis.itemID = ID_FLAT_EXPORT;
    dis.itemState = ODS_CHECKED;
    dis.hwndItem = reinterpret_cast<HWND>(pMore->GetSafeHmenu());
    dis.hDC = dib.dc();
    dis.rcItem = RECT{0, 0, kWidth, kHeight};
    dis.itemData = reinterpret_cast<ULONG_PTR>(pMore->GetItemRecord(0));
    menu.DrawItem(&dis);
    EXPECT_EQ(16 * 15, dib.Count(0, 0, 20, kHeight, kCheck));
    EXPECT_NE(Sys(COLOR_MENUTEXT), dib.Pixel(5, 10)) << "no tick under the image";
    // The menu owns the list from here on and destroys it once (the popups only share it).
}

}  // namespace
