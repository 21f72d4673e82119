// COwnerMenu, COwnerMenuItem and COwnerMenuMemDC: records, measuring, the classic and
// flat looks, check marks, mnemonic search, loading from a menu resource, and the
// class-wide settings with the registry of owned popup handles.
#include "controls/OwnerMenu.h"

#include "controls/MenuTemplate.h"

#include <algorithm>
#include <cstring>
#include "framework/WinApp.h"

namespace {

const char kThemeKey[] = "Software\\Microsoft\\Plus!\\Themes\\Current";
const char kClassicThemeFile[] = "Windows Classic.theme";
// Flags that describe an item's state, kept when an item is re-marked owner-drawn.
const UINT kStateBits = MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_MENUBREAK | MF_MENUBARBREAK;

// Narrow text of the thread's code page to UTF-16, for item records.
std::wstring ToWide(const char* psz)
{
    if (!psz || !*psz)
        return std::wstring();
    const int n = ::MultiByteToWideChar(CP_THREAD_ACP, 0, psz, -1, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring text(size_t(n), L'\0');
    ::MultiByteToWideChar(CP_THREAD_ACP, 0, psz, -1, &text[0], n);
    text.resize(size_t(n - 1));
    return text;
}

// An item record's text back as narrow text, in the thread's code page.
CString ToNarrow(const std::wstring& text)
{
    if (text.empty())
        return CString();
    const int n = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), int(text.size()), nullptr,
                                        0, nullptr, nullptr);
    if (n <= 0)
        return CString();
    std::string narrow(size_t(n), '\0');
    ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), int(text.size()), &narrow[0], n, nullptr,
                          nullptr);
    return CString(narrow);
}

// The live text of the item at nPos (empty for owner-drawn items, which keep none).
std::wstring LiveText(HMENU hMenu, UINT nPos)
{
    const int n = ::GetMenuStringW(hMenu, nPos, nullptr, 0, MF_BYPOSITION);
    if (n <= 0)
        return std::wstring();
    std::wstring text(size_t(n) + 1, L'\0');
    const int nCopied = ::GetMenuStringW(hMenu, nPos, &text[0], n + 1, MF_BYPOSITION);
    text.resize(size_t(nCopied > 0 ? nCopied : 0));
    return text;
}

// The menu font of the system, created for one measurement or paint.
bool CreateMenuFont(CFont& font)
{
    NONCLIENTMETRICSA ncm{};
    ncm.cbSize = sizeof(ncm);
    if (!::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) {
        // Older systems know the record without the padded border width.
        ncm.cbSize = UINT(offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth));
        if (!::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, ncm.cbSize, &ncm, 0))
            return false;
    }
    return font.CreateFontIndirect(&ncm.lfMenuFont) != FALSE;
}

int Width(const RECT& rc)
{
    return rc.right - rc.left;
}
int Height(const RECT& rc)
{
    return rc.bottom - rc.top;
}

// Painting helper: a solid fill with a brush of the moment.
void FillSolid(HDC hdc, const RECT& rc, COLORREF clr)
{
    CBrush brush(clr);
    ::FillRect(hdc, &rc, brush);
}

// Painting helper: a one-pixel frame with a brush of the moment.
void FrameSolid(HDC hdc, const RECT& rc, COLORREF clr)
{
    CBrush brush(clr);
    ::FrameRect(hdc, &rc, brush);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// COwnerMenuMemDC

// Drawing goes off-screen, in the coordinates of the target.
COwnerMenuMemDC::COwnerMenuMemDC(HDC hdcTarget, const RECT& rc) : m_hTargetDC(hdcTarget), m_rect(rc)
{
    const bool bPrinting = ::GetDeviceCaps(hdcTarget, TECHNOLOGY) == DT_RASPRINTER;
    if (!bPrinting) {
        m_hDC = ::CreateCompatibleDC(hdcTarget);
        if (m_hDC && m_bitmap.CreateCompatibleBitmap(hdcTarget, Width(rc), Height(rc))) {
            m_hOldBitmap = ::SelectObject(m_hDC, m_bitmap);
            ::SetWindowOrgEx(m_hDC, rc.left, rc.top, nullptr);
            m_bMemDC = true;
            return;
        }
        if (m_hDC)
            ::DeleteDC(m_hDC);
    }
    m_hDC = hdcTarget;  // printing, or no memory for the copy: draw straight through
}

// The picture goes to the target.
COwnerMenuMemDC::~COwnerMenuMemDC()
{
    if (m_bMemDC) {
        ::BitBlt(m_hTargetDC, m_rect.left, m_rect.top, Width(m_rect), Height(m_rect), m_hDC,
                 m_rect.left, m_rect.top, SRCCOPY);
        ::SelectObject(m_hDC, m_hOldBitmap);
        ::DeleteDC(m_hDC);
    }
    m_hDC = nullptr;  // a borrowed target is not ours to delete
}

// ---------------------------------------------------------------------------------------
// Class-wide settings

// Built at the first use of the class, which must be on the user-interface thread.
COwnerMenu::Shared::Shared() : ownerThreadId(::GetCurrentThreadId())
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const DWORD dwVersion = ::GetVersion();
    ::GetVersionExA(&info);
#pragma GCC diagnostic pop
    osVersionCode = ComputeOsVersionCode(dwVersion, info);
}

// Every use of the class-wide settings goes through here.
COwnerMenu::Shared& COwnerMenu::GetShared()
{
    static Shared shared;
    return shared;
}

// Asked by the registry operations before they touch the registry.
bool COwnerMenu::IsOwnerThread()
{
    return GetShared().ownerThreadId == ::GetCurrentThreadId();
}

namespace {
// The class-wide settings are made at program start, on the thread that starts the
// program, so that this thread owns the registry and the version is known from then on.
const bool g_bOwnerMenuSharedReady = (COwnerMenu::GetShared(), true);
}  // namespace

// The Windows version as the menu's looks know it.
int COwnerMenu::ComputeOsVersionCode(DWORD dwVersion, const OSVERSIONINFOA& info)
{
    const DWORD dwMajor = info.dwMajorVersion;
    const DWORD dwMinor = info.dwMinorVersion;
    if (dwVersion < 0x80000000) {  // the NT family
        if (dwMajor == 4)
            return 5;
        if (dwMajor == 5 && dwMinor == 0)
            return 6;
        if (dwMajor == 5 && dwMinor == 1)
            return 7;
        return 1;
    }
    if (dwMajor < 4)
        return 0;
    if (dwMajor == 4 && dwMinor == 10)
        return 3;
    if (dwMajor == 4 && dwMinor == 90)
        return 4;
    return 2;
}

// pszThemeFile: the registry's theme file. Does its name end in the classic theme's?
bool COwnerMenu::IsClassicThemeName(const char* pszThemeFile)
{
    if (!pszThemeFile)
        return false;
    const size_t nLength = std::strlen(pszThemeFile);
    const size_t nTail = sizeof(kClassicThemeFile) - 1;
    if (nLength < nTail)
        return false;
    return ::lstrcmpiA(pszThemeFile + (nLength - nTail), kClassicThemeFile) == 0;
}

// Asked by the drawing for the theme; the registry is read once per run.
bool COwnerMenu::IsClassicThemeSelected()
{
    Shared& shared = GetShared();
    const int nCached = shared.classicTheme.load();
    if (nCached >= 0)
        return nCached == 1;
    bool bClassic = false;
    HKEY hKey = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kThemeKey, 0, KEY_READ, &hKey) == ERROR_SUCCESS) {
        char szValue[MAX_PATH + 1] = {};
        DWORD dwType = 0;
        DWORD cbValue = MAX_PATH;
        if (::RegQueryValueExA(hKey, nullptr, nullptr, &dwType, reinterpret_cast<BYTE*>(szValue),
                               &cbValue) == ERROR_SUCCESS &&
            (dwType == REG_SZ || dwType == REG_EXPAND_SZ)) {
            szValue[std::min<DWORD>(cbValue, MAX_PATH)] = '\0';
            bClassic = IsClassicThemeName(szValue);
        }
        ::RegCloseKey(hKey);
    }
    // Only the user-interface thread fills the cache; others just read the registry.
    if (IsOwnerThread())
        shared.classicTheme = bClassic ? 1 : 0;
    return bClassic;
}

// Asked by measuring and drawing: Windows XP showing a non-classic theme.
bool COwnerMenu::FlatThemeCheck()
{
    return GetShared().osVersionCode == 7 && !IsClassicThemeSelected();
}

// Asked by measuring and drawing: which look is in force.
bool COwnerMenu::UsesFlatStyle()
{
    const Shared& shared = GetShared();
    const int nStyle = FlatThemeCheck() ? shared.themedStyle : shared.plainStyle;
    return nStyle == StyleFlat;
}

COLORREF COwnerMenu::BlendTowardWhite(COLORREF clr, double dFactor)
{
    if (!(dFactor > 0.0 && dFactor <= 1.0))
        return clr;
    auto blend = [dFactor](int c) { return int(c + dFactor * (255 - c)); };
    return RGB(blend(GetRValue(clr)), blend(GetGValue(clr)), blend(GetBValue(clr)));
}

// Asked by an owner window before it hands a menu message to us.
BOOL COwnerMenu::IsOwnedMenu(HMENU hMenu)
{
    if (!hMenu || !IsOwnerThread())
        return FALSE;
    const auto& owned = GetShared().ownedMenus;
    return owned.find(hMenu) != owned.end();
}

// Asked by an owner window for the object behind a popup of ours.
COwnerMenu* COwnerMenu::FromOwnedHandle(HMENU hMenu)
{
    if (!IsOwnerThread())
        return nullptr;
    const auto& owned = GetShared().ownedMenus;
    const auto it = owned.find(hMenu);
    return it == owned.end() ? nullptr : it->second;
}

// Images for commands, program-wide.
void COwnerMenu::SetSharedImages(HIMAGELIST hImages, const std::vector<UINT>& ids)
{
    if (!IsOwnerThread())
        return;
    Shared& shared = GetShared();
    if (shared.sharedImages.Get() != hImages)
        shared.sharedImages.Reset(hImages);
    shared.sharedImageIds = ids;
}

// ---------------------------------------------------------------------------------------
// COwnerMenu: life cycle and records

COwnerMenu::COwnerMenu()
{
    GetShared();  // the settings exist from the first menu on
}

// Everything the menu holds goes.
COwnerMenu::~COwnerMenu()
{
    COwnerMenu::DestroyMenu();
}

void COwnerMenu::SetCheckImages(HIMAGELIST hImages, int nChecked, int nUnchecked, BOOL bShared)
{
    if (m_ownCheckImages.Get() == hImages)
        m_ownCheckImages.Release();  // handed over again: kept, not destroyed
    m_ownCheckImages.Reset(bShared ? nullptr : hImages);
    m_hCheckImages = hImages;
    m_nCheckedImageIndex = nChecked;
    m_nUncheckedImageIndex = nUnchecked;
}

// Registry entries, sub-menu objects, records, then the handle.
BOOL COwnerMenu::DestroyMenu()
{
    ReleaseContents();
    return CMenu::DestroyMenu();
}

// Popup handles still hanging under our live menu are destroyed with it by the system;
// a sub-menu object only destroys a handle that is no longer there.
void COwnerMenu::ReleaseContents()
{
    Shared& shared = GetShared();
    const bool bOwnerThread = IsOwnerThread();  // elsewhere nothing was ever registered
    if (m_hMenu && bOwnerThread)
        shared.ownedMenus.erase(m_hMenu);
    for (auto it = m_subMenus.rbegin(); it != m_subMenus.rend(); ++it) {
        if (bOwnerThread)
            shared.ownedMenus.erase(it->hMenu);
        if (it->pObject) {
            it->pObject->ReleaseContents();
            if (IsLiveSubMenu(it->hMenu))
                it->pObject->Detach();
            it->pObject.reset();
        }
    }
    m_subMenus.clear();
    m_items.clear();
    m_ownCheckImages.Reset();
    m_hCheckImages = nullptr;
    m_bFromResource = false;
}

// The owner's check images survive the menu being rebuilt.
void COwnerMenu::DestroyKeepingCheckImages()
{
    CImageListHandle ownCheckImages = std::move(m_ownCheckImages);
    const HIMAGELIST hCheckImages = m_hCheckImages;
    DestroyMenu();
    m_ownCheckImages = std::move(ownCheckImages);
    m_hCheckImages = hCheckImages;
}

// Whether a popup handle still hangs under our live menu (and goes with it).
bool COwnerMenu::IsLiveSubMenu(HMENU hSubMenu) const
{
    if (!m_hMenu || !::IsMenu(m_hMenu))
        return false;
    const int nCount = ::GetMenuItemCount(m_hMenu);
    for (int i = 0; i < nCount; ++i)
        if (::GetSubMenu(m_hMenu, i) == hSubMenu)
            return true;
    return false;
}

// Notes the popup in the registry and among our sub-menus.
bool COwnerMenu::RegisterPopup(HMENU hPopup, COwnerMenu* pObject)
{
    if (!IsOwnerThread())
        return false;
    auto& owned = GetShared().ownedMenus;
    auto it = owned.find(hPopup);
    if (it == owned.end())
        owned.emplace(hPopup, pObject);
    else if (pObject)
        it->second = pObject;
    const bool bKnown = std::any_of(m_subMenus.begin(), m_subMenus.end(),
                                    [hPopup](const SubMenu& s) { return s.hMenu == hPopup; });
    if (!bKnown)
        m_subMenus.push_back(SubMenu{hPopup, nullptr});
    return true;
}

// The item record's address becomes the item data.
BOOL COwnerMenu::AddOwnerDrawnItem(const wchar_t* pszText, UINT nFlags, UINT_PTR nIDNewItem,
                                   int nImage)
{
    if (!m_hMenu)
        return FALSE;
    if (nIDNewItem)
        nFlags |= MF_OWNERDRAW;
    else
        nFlags = (nFlags & MF_BYPOSITION) | MF_SEPARATOR | MF_OWNERDRAW;
    if ((nFlags & MF_POPUP) && !RegisterPopup(reinterpret_cast<HMENU>(nIDNewItem), nullptr))
        return FALSE;

    auto pItem = std::make_unique<COwnerMenuItem>();
    pItem->m_strText = pszText ? pszText : L"";
    pItem->m_nFlags = nFlags;
    pItem->m_nCommandId = nIDNewItem;
    if (nImage >= 0) {
        pItem->m_nSharedImageIndex = nImage;
    } else {
        const auto& ids = GetShared().sharedImageIds;
        const auto it = std::find(ids.begin(), ids.end(), UINT(nIDNewItem));
        pItem->m_nSharedImageIndex = it == ids.end() ? -1 : int(it - ids.begin());
    }
    COwnerMenuItem* pRecord = pItem.get();
    m_items.push_back(std::move(pItem));
    const BOOL bAdded = ::AppendMenuW(m_hMenu, nFlags & ~UINT(MF_BYPOSITION), nIDNewItem,
                                      reinterpret_cast<LPCWSTR>(pRecord));
    if (!bAdded) {
        m_items.pop_back();
        return FALSE;
    }
    if (m_bFromResource)
        RestoreTopLevelPopups();
    return bAdded;
}

// This menu keeps and releases the popup's menu object.
BOOL COwnerMenu::AddOwnerDrawnPopup(const wchar_t* pszText, UINT nFlags,
                                    std::unique_ptr<COwnerMenu> pSubMenu)
{
    if (!m_hMenu || !pSubMenu || !IsOwnerThread())
        return FALSE;
    if (!pSubMenu->m_hMenu && !pSubMenu->CreatePopupMenu())
        return FALSE;
    HMENU hPopup = pSubMenu->m_hMenu;
    COwnerMenu* pObject = pSubMenu.get();
    m_subMenus.push_back(SubMenu{hPopup, std::move(pSubMenu)});
    GetShared().ownedMenus[hPopup] = pObject;
    if (AddOwnerDrawnItem(pszText, nFlags | MF_POPUP, reinterpret_cast<UINT_PTR>(hPopup)))
        return TRUE;
    GetShared().ownedMenus.erase(hPopup);
    m_subMenus.erase(std::remove_if(m_subMenus.begin(), m_subMenus.end(),
                                    [hPopup](const SubMenu& s) { return s.hMenu == hPopup; }),
                     m_subMenus.end());
    return FALSE;
}

// The record at a position, or null out of range.
const COwnerMenuItem* COwnerMenu::GetItemRecord(int nIndex) const
{
    if (nIndex < 0 || size_t(nIndex) >= m_items.size())
        return nullptr;
    return m_items[size_t(nIndex)].get();
}

// Whether a measure or draw request's item data is a record of ours.
COwnerMenuItem* COwnerMenu::FindRecord(ULONG_PTR itemData, const COwnerMenu** ppOwner) const
{
    if (!itemData)
        return nullptr;
    for (const auto& pItem : m_items) {
        if (reinterpret_cast<ULONG_PTR>(pItem.get()) == itemData) {
            if (ppOwner)
                *ppOwner = this;
            return pItem.get();
        }
    }
    for (const SubMenu& sub : m_subMenus)
        if (sub.pObject)
            if (COwnerMenuItem* pFound = sub.pObject->FindRecord(itemData, ppOwner))
                return pFound;
    return nullptr;
}

BOOL COwnerMenu::ItemTextAt(UINT nItem, CString& rText, BOOL bByPosition) const
{
    rText.Empty();
    if (bByPosition) {
        if (nItem >= m_items.size())
            return FALSE;
        rText = ToNarrow(m_items[nItem]->m_strText);
        return TRUE;
    }
    for (const auto& pItem : m_items) {
        if (pItem->IsPopup()) {
            HMENU hPopup = reinterpret_cast<HMENU>(pItem->m_nCommandId);
            for (const SubMenu& sub : m_subMenus)
                if (sub.hMenu == hPopup && sub.pObject &&
                    sub.pObject->ItemTextAt(nItem, rText, FALSE))
                    return TRUE;
        } else if (!pItem->IsSeparator() && pItem->m_nCommandId == nItem) {
            rText = ToNarrow(pItem->m_strText);
            return TRUE;
        }
    }
    return FALSE;
}

// For a live menu that may have changed behind our back (items inserted or removed directly):
// each live item claims its record, or gets a new one; the rest go.
void COwnerMenu::ResyncItems()
{
    if (!m_hMenu)
        return;
    for (auto& pItem : m_items)
        pItem->m_bClaimed = FALSE;
    auto claim = [this](auto predicate) -> std::unique_ptr<COwnerMenuItem>* {
        for (auto& pItem : m_items)
            if (pItem && !pItem->m_bClaimed && predicate(*pItem)) {
                pItem->m_bClaimed = TRUE;
                return &pItem;
            }
        return nullptr;
    };

    std::vector<std::unique_ptr<COwnerMenuItem>> items;
    const int nCount = ::GetMenuItemCount(m_hMenu);
    for (int nPos = 0; nPos < nCount; ++nPos) {
        const UINT nState = ::GetMenuState(m_hMenu, UINT(nPos), MF_BYPOSITION);
        HMENU hSubMenu = ::GetSubMenu(m_hMenu, nPos);
        std::unique_ptr<COwnerMenuItem> pNew;
        std::unique_ptr<COwnerMenuItem>* ppFound = nullptr;
        if (hSubMenu) {
            const UINT_PTR id = reinterpret_cast<UINT_PTR>(hSubMenu);
            ppFound = claim([id](const COwnerMenuItem& item) {
                return item.IsPopup() && item.m_nCommandId == id;
            });
            if (!ppFound) {
                pNew = std::make_unique<COwnerMenuItem>();
                pNew->m_nFlags =
                    ((nState & 0xFF) & ~UINT(MF_POPUP)) | MF_BYPOSITION | MF_OWNERDRAW | MF_POPUP;
                pNew->m_nCommandId = id;
                pNew->m_strText = LiveText(m_hMenu, UINT(nPos));
            }
        } else if (nState & MF_SEPARATOR) {
            ppFound = claim([](const COwnerMenuItem& item) {
                return !item.IsPopup() && item.m_nCommandId == 0;
            });
            if (!ppFound) {
                pNew = std::make_unique<COwnerMenuItem>();
                pNew->m_nFlags = MF_SEPARATOR | MF_BYPOSITION | MF_OWNERDRAW;
            }
        } else {
            const UINT nID = ::GetMenuItemID(m_hMenu, nPos);
            ppFound = claim([nID](const COwnerMenuItem& item) {
                return !item.IsPopup() && item.m_nCommandId == nID && nID != 0;
            });
            COwnerMenuItem* pRecord = nullptr;
            if (ppFound) {
                pRecord = ppFound->get();
            } else {
                pNew = std::make_unique<COwnerMenuItem>();
                pNew->m_strText = LiveText(m_hMenu, UINT(nPos));
                pNew->m_nCommandId = nID;
                pRecord = pNew.get();
            }
            pRecord->m_nFlags = nState | MF_BYPOSITION | MF_OWNERDRAW;
            ::ModifyMenuW(m_hMenu, UINT(nPos), (nState & kStateBits) | MF_BYPOSITION | MF_OWNERDRAW,
                          nID, reinterpret_cast<LPCWSTR>(pRecord));
        }
        items.push_back(ppFound ? std::move(*ppFound) : std::move(pNew));
    }
    m_items = std::move(items);  // unclaimed records are deleted here
}

// ---------------------------------------------------------------------------------------
// Loading from a menu resource

// From a numbered menu resource.
BOOL COwnerMenu::LoadMenu(UINT nIDResource)
{
    return LoadMenu(MAKEINTRESOURCEA(nIDResource));
}

// Builds the menu from a standard menu template: every item owner-drawn, accelerators
// aligned per level, and the top level left as plain text items.
BOOL COwnerMenu::LoadMenu(const char* pszResourceName)
{
    HMODULE hModule = AfxGetResourceHandle();
    HRSRC hResource =
        hModule ? ::FindResourceA(hModule, pszResourceName, reinterpret_cast<LPCSTR>(RT_MENU))
                : nullptr;
    if (!hResource) {
        hModule = ::GetModuleHandleA(nullptr);
        hResource = ::FindResourceA(hModule, pszResourceName, reinterpret_cast<LPCSTR>(RT_MENU));
    }
    if (!hResource)
        return FALSE;
    HGLOBAL hGlobal = ::LoadResource(hModule, hResource);
    if (!hGlobal)
        return FALSE;
    const BYTE* pData = static_cast<const BYTE*>(::LockResource(hGlobal));
    if (!pData)
        return FALSE;
    std::vector<MenuTemplateItem> items;
    const MenuTemplateRead read =
        ReadMenuTemplate(pData, ::SizeofResource(hModule, hResource), &items);
    if (read == MenuTemplateRead::NoHeader)
        return FALSE;  // not a template at all: the menu held stays

    DestroyKeepingCheckImages();
    if (!CreateMenu())
        return FALSE;
    // Extended templates are not ours to read; a template whose levels do not close is refused.
    if (read != MenuTemplateRead::Read || !AddTemplateItems(items)) {
        DestroyKeepingCheckImages();
        return FALSE;
    }

    // The top level is a menu bar: plain text items, not owner-drawn.
    const int nCount = ::GetMenuItemCount(m_hMenu);
    for (int nPos = 0; nPos < nCount && size_t(nPos) < m_items.size(); ++nPos) {
        MENUITEMINFOW mii{};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_FTYPE | MIIM_STRING;
        mii.fType = MFT_STRING;
        mii.dwTypeData = const_cast<LPWSTR>(m_items[size_t(nPos)]->m_strText.c_str());
        ::SetMenuItemInfoW(m_hMenu, UINT(nPos), TRUE, &mii);
    }
    m_bFromResource = true;
    return TRUE;
}

// Adds the items read from a template below this menu, every one owner-drawn; each popup
// is a COwnerMenu of its own that borrows this menu's check images. A level's accelerators
// are aligned once all its items are in. False when a popup could not be made.
bool COwnerMenu::AddTemplateItems(const std::vector<MenuTemplateItem>& items)
{
    std::vector<COwnerMenu*> levels{this};
    auto closeLevel = [&levels] {
        levels.back()->PadAccelerators();
        levels.pop_back();
    };
    for (const MenuTemplateItem& item : items) {
        while (int(levels.size()) > item.nDepth + 1)
            closeLevel();
        COwnerMenu* pLevel = levels.back();
        if (!item.IsPopup()) {
            pLevel->AddOwnerDrawnItem(item.strText.c_str(), item.nFlags, item.wId);
            continue;
        }
        auto pSubMenu = std::make_unique<COwnerMenu>();
        pSubMenu->m_nCheckedImageIndex = m_nCheckedImageIndex;
        pSubMenu->m_nUncheckedImageIndex = m_nUncheckedImageIndex;
        pSubMenu->m_hCheckImages = m_hCheckImages;  // borrowed: this menu owns them
        COwnerMenu* pRaw = pSubMenu.get();
        if (!pSubMenu->CreatePopupMenu() ||
            !pLevel->AddOwnerDrawnPopup(item.strText.c_str(), item.nFlags, std::move(pSubMenu)))
            return false;
        levels.push_back(pRaw);
    }
    while (!levels.empty())
        closeLevel();
    return true;
}

// Pads the labels of items with accelerators so that the accelerators line up.
void COwnerMenu::PadAccelerators()
{
    CFont font;
    CreateMenuFont(font);
    CClientDC dc(nullptr);
    CSelectObject selFont(dc, font.GetSafeHandle());
    auto labelWidth = [&dc](const CString& label) {
        SIZE size{};
        ::GetTextExtentPoint32A(dc, label, label.GetLength(), &size);
        return size.cx;
    };

    LONG nWidest = 0;
    for (const auto& pItem : m_items) {
        if (pItem->IsSeparator())
            continue;
        const CString text = ToNarrow(pItem->m_strText);
        const int nTab = text.Find('\t');
        const CString label = nTab >= 0 ? text.Left(nTab) : text;
        nWidest = std::max(nWidest, labelWidth(label + " "));
    }
    for (auto& pItem : m_items) {
        const CString text = ToNarrow(pItem->m_strText);
        const int nTab = text.Find('\t');
        if (nTab < 0)
            continue;
        CString label = text.Left(nTab);
        // A space of width 0 (odd fonts) must not loop forever: at most one space a pixel.
        for (LONG nGuard = 0; labelWidth(label) < nWidest && nGuard <= nWidest; ++nGuard)
            label += ' ';
        pItem->m_strText = ToWide(label + text.Mid(nTab));
    }
}

// The live position of record 0 in a resource-built menu (items may have been inserted
// in front of the records).
int COwnerMenu::TopLevelOffset() const
{
    if (!m_bFromResource || !m_hMenu)
        return 0;
    const int nCount = ::GetMenuItemCount(m_hMenu);
    for (int nPos = 0; nPos < nCount; ++nPos) {
        const std::wstring live = LiveText(m_hMenu, UINT(nPos));
        if (live.empty())
            continue;
        for (size_t i = 0; i < m_items.size(); ++i) {
            if (m_items[i]->m_strText == live) {
                const int nOffset = nPos - int(i);
                return nOffset < 0 ? 0 : nOffset;
            }
        }
    }
    return 0;
}

// After adding to a resource-built menu: keep its top-level popups plain text items.
void COwnerMenu::RestoreTopLevelPopups()
{
    const int nOffset = TopLevelOffset();
    for (size_t i = 0; i < m_items.size(); ++i) {
        const int nPos = nOffset + int(i);
        if (!::GetSubMenu(m_hMenu, nPos))
            continue;
        COwnerMenuItem& item = *m_items[i];
        item.m_nFlags = MF_BYPOSITION | MF_POPUP;
        MENUITEMINFOW mii{};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_FTYPE | MIIM_STRING;
        mii.fType = MFT_STRING;
        mii.dwTypeData = const_cast<LPWSTR>(item.m_strText.c_str());
        ::SetMenuItemInfoW(m_hMenu, UINT(nPos), TRUE, &mii);
    }
}

// ---------------------------------------------------------------------------------------
// Mnemonics

// WM_MENUCHAR: owner-drawn items have no text the system could search.
LRESULT COwnerMenu::FindMenuShortcut(UINT nChar, UINT nFlags, CMenu* pMenu)
{
    COwnerMenu* pOwnerMenu = dynamic_cast<COwnerMenu*>(pMenu);
    if (!pOwnerMenu || !(nFlags & MF_POPUP))
        return 0;
    char szKey[3] = {'&', char(nChar), '\0'};
    ::CharLowerA(szKey);
    if (::GetMenuItemCount(pOwnerMenu->m_hMenu) != int(pOwnerMenu->m_items.size()))
        pOwnerMenu->ResyncItems();
    for (UINT nPos = 0; nPos < pOwnerMenu->m_items.size(); ++nPos) {
        CString text;
        if (!pOwnerMenu->ItemTextAt(nPos, text, TRUE))
            continue;
        std::string lower = text.str();
        if (!lower.empty())
            ::CharLowerBuffA(&lower[0], DWORD(lower.size()));
        if (lower.find(szKey) != std::string::npos)
            return MAKELRESULT(nPos, MNC_SELECT);
    }
    return 0;
}

// ---------------------------------------------------------------------------------------
// Measuring and drawing

// The gap beside the image cell in the given look.
int COwnerMenu::ImageGap(bool bFlat) const
{
    return (bFlat && GetShared().wideImageGap) ? 7 : 4;
}

// For one of our items only.
void COwnerMenu::MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct)
{
    if (!lpMeasureItemStruct)
        return;
    const COwnerMenu* pOwner = nullptr;
    const COwnerMenuItem* pItem = FindRecord(lpMeasureItemStruct->itemData, &pOwner);
    if (pItem && pOwner)
        pOwner->MeasureRecord(lpMeasureItemStruct, *pItem);
}

// Measures one record of this menu in the look in force.
void COwnerMenu::MeasureRecord(LPMEASUREITEMSTRUCT lpMeasureItemStruct,
                               const COwnerMenuItem& item) const
{
    const bool bFlat = UsesFlatStyle();
    const int nGap = ImageGap(bFlat);
    if (item.IsSeparator()) {
        lpMeasureItemStruct->itemWidth = 0;
        lpMeasureItemStruct->itemHeight =
            UINT(std::max(::GetSystemMetrics(SM_CYMENU) / 2, (m_nImageHeight + nGap) / 2));
        return;
    }
    CFont font;
    CreateMenuFont(font);
    CWnd* pMainWnd = AfxGetMainWnd();
    HWND hWnd =
        (pMainWnd && pMainWnd->GetSafeHwnd()) ? pMainWnd->GetSafeHwnd() : ::GetDesktopWindow();
    SIZE size{};
    {
        CClientDC dc(hWnd);
        // Older systems measure with the DC's own font (the menu font was not selected there).
        CSelectObject selFont(dc, GetShared().osVersionCode >= 2 ? font.GetSafeHandle() : nullptr);
        ::GetTextExtentPoint32W(dc, item.m_strText.c_str(), int(item.m_strText.size()), &size);
    }
    if (bFlat)
        lpMeasureItemStruct->itemWidth = UINT(size.cx + m_nImageWidth + nGap + 8);
    else
        lpMeasureItemStruct->itemWidth = UINT(size.cx + 2 * m_nImageWidth + 1);
    lpMeasureItemStruct->itemHeight =
        UINT(std::max(::GetSystemMetrics(SM_CYMENU), m_nImageHeight + nGap));
}

// For one of our items only.
void COwnerMenu::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    if (!lpDrawItemStruct)
        return;
    const COwnerMenu* pOwner = nullptr;
    const COwnerMenuItem* pItem = FindRecord(lpDrawItemStruct->itemData, &pOwner);
    if (pItem && pOwner)
        pOwner->DrawRecord(lpDrawItemStruct, *pItem);
}

// Paints one record of this menu; the DC goes back as it came.
void COwnerMenu::DrawRecord(LPDRAWITEMSTRUCT lpDrawItemStruct, const COwnerMenuItem& item) const
{
    CDC dc(lpDrawItemStruct->hDC);
    CSaveDC saved(dc);
    const bool bPalette = (::GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE) != 0;
    if (!bPalette && UsesFlatStyle())
        DrawFlatItem(dc, *lpDrawItemStruct, item);
    else
        DrawClassicItem(dc, *lpDrawItemStruct, item);
}

// A checked item with a checked-state bitmap shows a radio dot instead of a tick.
bool COwnerMenu::UsesRadioMark(const DRAWITEMSTRUCT& dis)
{
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof(mii);
    mii.fMask = MIIM_CHECKMARKS;
    HMENU hMenu = reinterpret_cast<HMENU>(dis.hwndItem);
    if (!::IsMenu(hMenu) || !::GetMenuItemInfoW(hMenu, dis.itemID, FALSE, &mii))
        return false;
    return mii.hbmpChecked != nullptr;
}

// Whether the item shows an image of its own or of the shared list.
bool COwnerMenu::HasImage(const COwnerMenuItem& item) const
{
    return item.m_nSharedImageIndex >= 0 && GetShared().sharedImages.IsValid();
}

// Whether a custom check image stands in for the drawn check mark.
bool COwnerMenu::HasCustomCheck(bool bSelected) const
{
    return m_hCheckImages && (bSelected ? m_nCheckedImageIndex : m_nUncheckedImageIndex) >= 0;
}

// Paints the item's image, or its custom check image, at the top-left of rcCell.
bool COwnerMenu::DrawItemImage(CDC& dc, const COwnerMenuItem& item, const RECT& rcCell,
                               bool bDisabled, bool bChecked, bool bSelected) const
{
    HIMAGELIST hList = nullptr;
    int nIndex = -1;
    if (item.m_nSharedImageIndex >= 0 && GetShared().sharedImages.IsValid()) {
        hList = GetShared().sharedImages.Get();
        nIndex = item.m_nSharedImageIndex;
    } else if (bChecked && HasCustomCheck(bSelected)) {
        hList = m_hCheckImages;
        nIndex = bSelected ? m_nCheckedImageIndex : m_nUncheckedImageIndex;
    }
    if (!hList || nIndex < 0)
        return false;
    if (!bDisabled) {
        ::ImageList_Draw(hList, nIndex, dc, rcCell.left, rcCell.top, ILD_TRANSPARENT);
        return true;
    }
    const CIconHandle icon(::ImageList_GetIcon(hList, nIndex, ILD_TRANSPARENT));
    if (icon.IsValid())
        ::DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon.Get()), 0, rcCell.left,
                     rcCell.top, 0, 0, DST_ICON | DSS_DISABLED);
    return true;
}

// Label before the first tab, accelerator (after the last tab) right-aligned.
void COwnerMenu::DrawItemText(CDC& dc, const COwnerMenuItem& item, RECT rcText, COLORREF clr) const
{
    const std::wstring& text = item.m_strText;
    const size_t nFirstTab = text.find(L'\t');
    const std::wstring label = text.substr(0, nFirstTab);
    std::wstring accelerator;
    if (nFirstTab != std::wstring::npos) {
        accelerator = text.substr(text.rfind(L'\t') + 1);
        rcText.right -= m_nImageWidth;
    }
    dc.SetTextColor(clr);
    const int nOldMode = dc.SetBkMode(TRANSPARENT);
    ::DrawTextW(dc, label.c_str(), int(label.size()), &rcText, DT_SINGLELINE | DT_VCENTER);
    if (!accelerator.empty())
        ::DrawTextW(dc, accelerator.c_str(), int(accelerator.size()), &rcText,
                    DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    dc.SetBkMode(nOldMode);
}

// The classic look: menu colours, highlight bar, sunken check box, embossed grey text.
void COwnerMenu::DrawClassicItem(CDC& dc, const DRAWITEMSTRUCT& dis,
                                 const COwnerMenuItem& item) const
{
    const Shared& shared = GetShared();
    const COLORREF clrBack = ::GetSysColor(FlatThemeCheck() ? COLOR_BTNFACE : COLOR_MENU);
    const bool bDisabled = (dis.itemState & ODS_GRAYED) != 0;
    const bool bChecked = (dis.itemState & ODS_CHECKED) != 0;
    bool bSelected = (dis.itemState & ODS_SELECTED) != 0;
    if (bDisabled && bSelected && !shared.classicSelectDisabled)
        bSelected = false;
    RECT rc = dis.rcItem;

    if (item.IsSeparator()) {
        FillSolid(dc, rc, clrBack);
        rc.top += Height(rc) / 2;
        ::DrawEdge(dc, &rc, EDGE_ETCHED, BF_TOP);
        return;
    }

    const bool bImage = HasImage(item);
    const bool bCustomCheck = !bImage && bChecked && HasCustomCheck(bSelected);
    COLORREF clrText = ::GetSysColor(COLOR_MENUTEXT);
    if (!bSelected) {
        FillSolid(dc, rc, clrBack);
        FrameSolid(dc, rc, clrBack);
    } else {
        RECT rcFill = rc;
        if (bImage || bCustomCheck || bChecked)
            rcFill.left += m_nImageWidth + 5;
        FillSolid(dc, rcFill, ::GetSysColor(COLOR_HIGHLIGHT));
        clrText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    }

    const int d = std::max(0, (Height(rc) - m_nImageHeight - 4) / 2);
    const RECT rcBox{rc.left + 1, rc.top + d + 2, rc.left + 1 + m_nImageWidth,
                     rc.top + d + m_nImageHeight + 2};
    if (bImage || bCustomCheck) {
        RECT rcFrame = rcBox;
        ::InflateRect(&rcFrame, 1, 1);
        DrawItemImage(dc, item, rcBox, bDisabled, bChecked, bSelected);
        if (bChecked)
            ::DrawEdge(dc, &rcFrame, BDR_SUNKENOUTER, BF_RECT);
        else if (bSelected && !bDisabled)
            ::DrawEdge(dc, &rcFrame, BDR_RAISEDINNER, BF_RECT);
    } else if (bChecked) {
        DrawClassicCheck(dc, rcBox, clrBack, bSelected, UsesRadioMark(dis));
    }

    RECT rcText{rc.left + m_nImageWidth + 9, rc.top - 1, rc.right, rc.bottom - 1};
    if (!bDisabled) {
        DrawItemText(dc, item, rcText, clrText);
    } else if (bSelected) {
        DrawItemText(dc, item, rcText, clrBack);
    } else {
        RECT rcShadow = rcText;
        ::OffsetRect(&rcShadow, 1, 1);
        DrawItemText(dc, item, rcShadow, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawItemText(dc, item, rcText, ::GetSysColor(COLOR_GRAYTEXT));
    }
}

// The flat look: white item, shaded band for images and checks, light selection.
void COwnerMenu::DrawFlatItem(CDC& dcTarget, const DRAWITEMSTRUCT& dis,
                              const COwnerMenuItem& item) const
{
    const Shared& shared = GetShared();
    const bool bThemed = FlatThemeCheck();
    COLORREF clrBand = ::GetSysColor(COLOR_BTNFACE);
    if (!bThemed)
        clrBand = BlendTowardWhite(clrBand, 0.25);
    const COLORREF clrWindow = ::GetSysColor(COLOR_WINDOW);
    const COLORREF clrHighlight = ::GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF clrSelection = BlendTowardWhite(clrHighlight, bThemed ? 0.7 : 0.85);
    const int nGap = ImageGap(true);
    const int nBand = m_nImageWidth + nGap;

    const bool bDisabled = (dis.itemState & ODS_GRAYED) != 0;
    const bool bChecked = (dis.itemState & ODS_CHECKED) != 0;
    bool bSelected = (dis.itemState & ODS_SELECTED) != 0;
    const RECT rc = dis.rcItem;

    // A disabled item is painted off-screen with the menu font, then copied in one go.
    std::unique_ptr<COwnerMenuMemDC> pMemDC;
    CFont menuFont;
    std::unique_ptr<CSelectObject> pSelFont;
    if (bDisabled && !shared.flatSelectDisabled) {
        bSelected = false;
        pMemDC = std::make_unique<COwnerMenuMemDC>(dcTarget, rc);
        CreateMenuFont(menuFont);
        pSelFont = std::make_unique<CSelectObject>(*pMemDC, menuFont.GetSafeHandle());
    }
    // (Declared in this order, they unwind as needed: font deselected, font deleted,
    // then the off-screen picture copied to the target.)
    CDC& dc = pMemDC ? static_cast<CDC&>(*pMemDC) : dcTarget;

    const RECT rcBand{rc.left, rc.top, rc.left + nBand, rc.bottom};
    if (item.IsSeparator()) {
        FillSolid(dc, rc, clrWindow);
        RECT rcLine{rcBand.right + nGap, rc.top + Height(rc) / 2, rc.right, rc.bottom};
        ::DrawEdge(dc, &rcLine, EDGE_ETCHED, BF_TOP);
        FillSolid(dc, rcBand, clrBand);
        FrameSolid(dc, rcBand, clrBand);
        return;
    }

    if (!bSelected) {
        FillSolid(dc, rc, clrWindow);
        FillSolid(dc, rcBand, clrBand);
        FrameSolid(dc, rc, clrWindow);
        FrameSolid(dc, rcBand, clrBand);
    } else {
        FillSolid(dc, rc, clrSelection);
        FrameSolid(dc, rc, clrHighlight);
    }

    const bool bImage = HasImage(item);
    const bool bCustomCheck = !bImage && bChecked && HasCustomCheck(bSelected);
    if (bImage || bCustomCheck) {
        const int x = rc.left + std::max(0, (nBand - m_nImageWidth) / 2);
        const int y = rc.top + std::max(0, (Height(rc) - m_nImageHeight) / 2);
        DrawItemImage(dc, item, RECT{x, y, x + m_nImageWidth, y + m_nImageHeight}, bDisabled,
                      bChecked, bSelected);
    } else if (bChecked) {
        const int dx = std::max(0, int((nBand - 16) * 0.5 + 0.5));
        const int dy = std::max(0, int((Height(rc) - 16) * 0.5 + 0.5));
        const RECT rcBox{rc.left + dx, rc.top + dy, rc.left + dx + 16, rc.top + dy + 16};
        DrawFlatCheck(dc, rcBox, UsesRadioMark(dis));
    }

    const RECT rcText{rc.left + nBand + 8, rc.top - 1, rc.right, rc.bottom - 1};
    COLORREF clrText = ::GetSysColor(COLOR_MENUTEXT);
    if (bDisabled) {
        const COLORREF clrGray = ::GetSysColor(COLOR_GRAYTEXT);
        clrText = (bThemed || bSelected) ? clrGray : BlendTowardWhite(clrGray, 0.4);
    }
    DrawItemText(dc, item, rcText, clrText);
}

// The classic look's check box and mark.
void COwnerMenu::DrawClassicCheck(CDC& dc, const RECT& rcBox, COLORREF clrBack, bool bSelected,
                                  bool bRadio) const
{
    FillSolid(dc, rcBox, bSelected ? clrBack : BlendTowardWhite(clrBack, 0.6));
    if (GetShared().osVersionCode >= 2) {
        RECT rcEdge = rcBox;
        ::DrawEdge(dc, &rcEdge, BDR_SUNKENOUTER, BF_RECT);
    }
    const COLORREF clrMark = ::GetSysColor(COLOR_MENUTEXT);
    if (bRadio)
        OwnerMenuDraw::RadioDot(dc, rcBox.left + 5, rcBox.top + 4, clrMark);
    else
        OwnerMenuDraw::Tick(dc, rcBox.left + 4, rcBox.top + 4, clrMark);
}

// The flat look's check box and mark.
void COwnerMenu::DrawFlatCheck(CDC& dc, const RECT& rcBox, bool bRadio) const
{
    const COLORREF clrHighlight = ::GetSysColor(COLOR_HIGHLIGHT);
    FillSolid(dc, rcBox, BlendTowardWhite(clrHighlight, 0.85));
    FrameSolid(dc, rcBox, clrHighlight);
    const COLORREF clrMark = ::GetSysColor(COLOR_MENUTEXT);
    if (bRadio)
        OwnerMenuDraw::RadioDot(dc, rcBox.left + 5, rcBox.top + 4, clrMark);
    else
        OwnerMenuDraw::Tick(dc, rcBox.left + 5, rcBox.top + 4, clrMark);
}

namespace OwnerMenuDraw {

// Draws the radio dot of a checked item.
void RadioDot(HDC hdc, int x, int y, COLORREF clr)
{
    CPen pen(PS_SOLID, 1, clr);
    CBrush brush(clr);
    CSelectObject selPen(hdc, pen);
    CSelectObject selBrush(hdc, brush);
    ::Ellipse(hdc, x, y, x + 6, y + 6);
}

// Draws the tick of a checked item.
void Tick(HDC hdc, int x, int y, COLORREF clr)
{
    static const int kStartRows[7] = {2, 3, 4, 3, 2, 1, 0};
    CPen pen(PS_SOLID, 1, clr);
    CSelectObject selPen(hdc, pen);
    for (int i = 0; i < 7; ++i) {
        ::MoveToEx(hdc, x + i, y + kStartRows[i], nullptr);
        ::LineTo(hdc, x + i, y + kStartRows[i] + 3);
    }
}

}  // namespace OwnerMenuDraw
