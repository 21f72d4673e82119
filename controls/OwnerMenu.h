// The owner-drawn popup menu that a flat button can drop down.
//  - COwnerMenuItem: the record kept for one menu item (UTF-16 text, menu flags,
//    command identifier or popup handle, optional image).
//  - COwnerMenu: a menu whose items are owner-drawn. It keeps one record per item,
//    measures and paints the items in a classic or a flat look (with a shaded band for
//    images and check marks), draws its own tick and radio-dot check marks, answers
//    mnemonics (WM_MENUCHAR) by searching the item texts, and can be built from a menu
//    resource.
//  - COwnerMenuMemDC: the off-screen context the flat look paints disabled items into.
// Class-wide settings and the registry of owned popup handles live in one object
// (COwnerMenu::Shared), created at program start and confined to the thread that
// started the program (the user-interface thread): on any other thread (the export
// worker's message boxes) the registry answers "not owned" and refuses new popups, so
// a menu there can hold plain items only.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "framework/Gdi.h"
#include "framework/Menu.h"
#include "framework/String.h"
#include "framework/UniqueHandle.h"

struct MenuTemplateItem;

// One item of a COwnerMenu. The menu owns its records; a record's address is the
// item data of its owner-drawn menu item.
class COwnerMenuItem {
public:
    COwnerMenuItem() = default;
    COwnerMenuItem(const COwnerMenuItem&) = delete;
    COwnerMenuItem& operator=(const COwnerMenuItem&) = delete;

    std::wstring m_strText;        // label, optionally a tab and the accelerator
    int m_nSharedImageIndex = -1;  // image in the class-wide shared list
    UINT m_nFlags = 0;             // MF_ flags the item was added with
    UINT_PTR m_nCommandId = 0;     // command identifier, or the popup's handle
    BOOL m_bClaimed = FALSE;       // mark used by ResyncItems

    bool IsSeparator() const { return (m_nFlags & MF_SEPARATOR) != 0; }
    bool IsPopup() const { return (m_nFlags & MF_POPUP) != 0; }
};

// Off-screen drawing over one rectangle of a target DC; the picture is copied to the
// target when the object goes. A printing target is drawn into directly.
class COwnerMenuMemDC : public CDC {
public:
    COwnerMenuMemDC(HDC hdcTarget, const RECT& rc);
    ~COwnerMenuMemDC() override;
    bool IsOffScreen() const { return m_bMemDC; }

private:
    CBitmap m_bitmap;
    HGDIOBJ m_hOldBitmap = nullptr;
    HDC m_hTargetDC;
    RECT m_rect;
    bool m_bMemDC = false;
};

class COwnerMenu : public CMenu {
public:
    // Looks, as the style settings name them.
    static constexpr int StyleFlat = 1;
    static constexpr int StyleClassic = 0;

    // The class-wide settings and registries (one copy for the whole program).
    struct Shared {
        Shared();
        Shared(const Shared&) = delete;
        Shared& operator=(const Shared&) = delete;

        int osVersionCode = 1;
        int themedStyle = StyleFlat;
        int plainStyle = StyleClassic;
        BOOL classicSelectDisabled = TRUE;
        BOOL flatSelectDisabled = FALSE;
        BOOL wideImageGap = TRUE;
        // Popup handles added to some COwnerMenu, with the object that manages each
        // (null when the popup was added by handle only).
        std::map<HMENU, COwnerMenu*> ownedMenus;
        CImageListHandle sharedImages;
        std::vector<UINT> sharedImageIds;
        std::atomic<int> classicTheme{-1};  // -1 not read yet, else 0 or 1
        const DWORD ownerThreadId;          // the user-interface thread
    };
    // The one copy of the class-wide settings; the first caller's thread owns it.
    static Shared& GetShared();
    // Whether this is the thread that owns the registry.
    static bool IsOwnerThread();

    COwnerMenu();
    ~COwnerMenu() override;

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct) override;
    BOOL LoadMenu(UINT nIDResource) override;
    virtual BOOL LoadMenu(const char* pszResourceName);
    BOOL DestroyMenu() override;

    // Appends an owner-drawn item; nIDNewItem 0 (without MF_POPUP) makes a separator.
    // nImage >= 0 picks an image of the shared image list.
    BOOL AddOwnerDrawnItem(const wchar_t* pszText, UINT nFlags, UINT_PTR nIDNewItem,
                           int nImage = -1);
    // Appends a popup item whose sub-menu object this menu takes over.
    BOOL AddOwnerDrawnPopup(const wchar_t* pszText, UINT nFlags,
                            std::unique_ptr<COwnerMenu> pSubMenu);
    // Rebuilds the records from the live menu (items added or removed behind our back).
    void ResyncItems();
    // The text of an item (by position, or by command identifier searching this menu
    // and its sub-menus depth first) as narrow text.
    BOOL ItemTextAt(UINT nItem, CString& rText, BOOL bByPosition) const;

    int GetItemRecordCount() const { return int(m_items.size()); }
    const COwnerMenuItem* GetItemRecord(int nIndex) const;
    // The record whose address is itemData, in this menu or its sub-menus; else null.
    // *ppOwner (when given) receives the menu that holds it.
    COwnerMenuItem* FindRecord(ULONG_PTR itemData, const COwnerMenu** ppOwner = nullptr) const;
    bool IsFromResource() const { return m_bFromResource; }

    // Custom check images (an image list and the images for selected and unselected
    // checked items); a shared list is not destroyed with the menu.
    void SetCheckImages(HIMAGELIST hImages, int nChecked, int nUnchecked, BOOL bShared);
    // The class-wide image list (taken over) and the command of each of its images.
    static void SetSharedImages(HIMAGELIST hImages, const std::vector<UINT>& ids);

    static BOOL IsOwnedMenu(HMENU hMenu);
    static BOOL IsOwnedMenu(const CMenu* pMenu) { return pMenu && IsOwnedMenu(pMenu->m_hMenu); }
    // The COwnerMenu object that manages an owned popup handle, or null.
    static COwnerMenu* FromOwnedHandle(HMENU hMenu);
    // WM_MENUCHAR: MNC_SELECT and the position of the first item whose text holds
    // "&" + nChar (case-insensitive), else 0.
    static LRESULT FindMenuShortcut(UINT nChar, UINT nFlags, CMenu* pMenu);
    // Each channel c becomes c + f * (255 - c) for 0 < f <= 1.
    static COLORREF BlendTowardWhite(COLORREF clr, double dFactor);
    // The desktop theme file is "Windows Classic.theme" (registry read once).
    static bool IsClassicThemeSelected();
    // Windows XP with a non-classic theme.
    static bool FlatThemeCheck();
    // The look in force: flat when the applicable style setting is 1.
    static bool UsesFlatStyle();
    // 0 Win32s, 1 other NT, 2 Win95, 3 Win98, 4 WinMe, 5 NT 4, 6 Win2000, 7 XP.
    static int ComputeOsVersionCode(DWORD dwVersion, const OSVERSIONINFOA& info);
    // Whether a theme file name (from the registry) names the classic theme.
    static bool IsClassicThemeName(const char* pszThemeFile);

    int m_nImageWidth = 16;
    int m_nImageHeight = 15;

private:
    struct SubMenu {
        HMENU hMenu;
        std::unique_ptr<COwnerMenu> pObject;  // null when added by handle only
    };

    void MeasureRecord(LPMEASUREITEMSTRUCT lpMeasureItemStruct, const COwnerMenuItem& item) const;
    void DrawRecord(LPDRAWITEMSTRUCT lpDrawItemStruct, const COwnerMenuItem& item) const;
    // Releases records, sub-menu objects and registry entries; the handle stays.
    void ReleaseContents();
    void DestroyKeepingCheckImages();
    bool AddTemplateItems(const std::vector<MenuTemplateItem>& items);
    void DrawClassicItem(CDC& dc, const DRAWITEMSTRUCT& dis, const COwnerMenuItem& item) const;
    void DrawFlatItem(CDC& dc, const DRAWITEMSTRUCT& dis, const COwnerMenuItem& item) const;
    void DrawItemText(CDC& dc, const COwnerMenuItem& item, RECT rcText, COLORREF clr) const;
    void DrawClassicCheck(CDC& dc, const RECT& rcBox, COLORREF clrBack, bool bSelected,
                          bool bRadio) const;
    void DrawFlatCheck(CDC& dc, const RECT& rcBox, bool bRadio) const;
    // Draws the item's image (or custom check image) at rcCell; false when it has none.
    bool DrawItemImage(CDC& dc, const COwnerMenuItem& item, const RECT& rcCell, bool bDisabled,
                       bool bChecked, bool bSelected) const;
    bool HasImage(const COwnerMenuItem& item) const;
    bool HasCustomCheck(bool bSelected) const;
    int ImageGap(bool bFlat) const;
    void PadAccelerators();
    int TopLevelOffset() const;
    void RestoreTopLevelPopups();
    bool RegisterPopup(HMENU hPopup, COwnerMenu* pObject);
    bool IsLiveSubMenu(HMENU hSubMenu) const;
    // The item's check bitmaps: true when its checked-state bitmap is set (radio dot).
    static bool UsesRadioMark(const DRAWITEMSTRUCT& dis);

    std::vector<std::unique_ptr<COwnerMenuItem>> m_items;
    std::vector<SubMenu> m_subMenus;
    HIMAGELIST m_hCheckImages = nullptr;  // what is drawn: m_ownCheckImages, or a borrowed list
    CImageListHandle m_ownCheckImages;
    int m_nCheckedImageIndex = -1;
    int m_nUncheckedImageIndex = -1;
    bool m_bFromResource = false;
};

// Drawing primitives shared by both looks, free for tests.
namespace OwnerMenuDraw {
// A radio dot at (x, y): ellipse (x, y) to (x + 6, y + 6).
void RadioDot(HDC hdc, int x, int y, COLORREF clr);
// A tick at (x, y): seven three-pixel vertical strokes.
void Tick(HDC hdc, int x, int y, COLORREF clr);
}  // namespace OwnerMenuDraw
