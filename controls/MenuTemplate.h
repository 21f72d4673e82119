// MenuTemplate.h
//
// ReadMenuTemplate: the items of a standard menu template (the bytes of an RT_MENU
// resource), in template order with the depth of each, with no window or menu made. The template is a
// MENUITEMTEMPLATEHEADER (version 0 and the size of what follows it before the first
// item), then one MENUITEMTEMPLATE per item in order: its flags, its command
// identifier (absent for a popup), its zero-terminated UTF-16 text. A popup's items
// follow it directly; MF_END marks the last item of a level. Every read is checked
// against the size given: no input, however cut or odd, is read past its end.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// One item. A popup's items follow it, one level deeper; a level ends where an item of
// a shallower level (or the list) comes.
struct MenuTemplateItem {
    int nDepth = 0;   // 0 for the top level
    UINT nFlags = 0;  // MF_ flags, without the end-of-level mark
    WORD wId = 0;     // the command; 0 for a popup
    std::wstring strText;

    bool IsPopup() const { return (nFlags & MF_POPUP) != 0; }
};

enum class MenuTemplateRead {
    Read,      // *pItems holds every item
    NoHeader,  // fewer bytes than a header
    Extended,  // not a standard template (an extended one has version 1)
    Unclosed,  // the data ends inside an item or before the top level closes
};

MenuTemplateRead ReadMenuTemplate(const BYTE* pData, size_t cbData,
                                  std::vector<MenuTemplateItem>* pItems);
