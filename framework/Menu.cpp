// CMenu: the menu handle's owner. The handle is destroyed with the object unless it was
// detached first; a menu attached to a window is destroyed by the window instead, so
// callers detach such menus.
#include "framework/Menu.h"

#include <vector>
#include "framework/WinApp.h"

// Only the base's own release here; a derived class releases its own records in its
// destructor.
CMenu::~CMenu()
{
    CMenu::DestroyMenu();
}

// Refused when this object already owns a menu, so that no handle is lost or destroyed behind
// the caller's back.
BOOL CMenu::Attach(HMENU hMenu)
{
    if (!hMenu || m_hMenu)
        return FALSE;
    m_hMenu = hMenu;
    return TRUE;
}

// The object no longer destroys the menu.
HMENU CMenu::Detach()
{
    HMENU hMenu = m_hMenu;
    m_hMenu = nullptr;
    return hMenu;
}

BOOL CMenu::CreateMenu()
{
    if (m_hMenu)
        return FALSE;
    return Attach(::CreateMenu());
}

BOOL CMenu::CreatePopupMenu()
{
    if (m_hMenu)
        return FALSE;
    return Attach(::CreatePopupMenu());
}

// A menu template of the program; FALSE when it is missing.
BOOL CMenu::LoadMenu(UINT nIDResource)
{
    if (m_hMenu)
        return FALSE;
    return Attach(::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource)));
}

// FALSE when there was no menu.
BOOL CMenu::DestroyMenu()
{
    if (!m_hMenu)
        return FALSE;
    const BOOL ok = ::DestroyMenu(m_hMenu);
    m_hMenu = nullptr;
    return ok;
}

// By command id or, with MF_BYPOSITION, by position. Returns the text's length; 0 with an
// empty string when there is no such item.
int CMenu::GetMenuString(UINT nIDItem, CString& rString, UINT nFlags) const
{
    rString.Empty();
    if (!m_hMenu)
        return 0;
    const int nLength = ::GetMenuStringA(m_hMenu, nIDItem, nullptr, 0, nFlags);
    if (nLength <= 0)
        return 0;
    std::vector<char> buffer(size_t(nLength) + 1, '\0');
    const int nCopied = ::GetMenuStringA(m_hMenu, nIDItem, buffer.data(), nLength + 1, nFlags);
    if (nCopied <= 0)
        return 0;
    rString = CString(buffer.data(), nCopied < nLength ? nCopied : nLength);
    return rString.GetLength();
}
