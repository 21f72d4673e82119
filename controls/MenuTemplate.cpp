#include "controls/MenuTemplate.h"

#include <cstring>

namespace {

// The end-of-level mark of an item's flags.
const WORD kEndOfLevel = 0x80;

class TemplateCursor {
public:
    TemplateCursor(const BYTE* pData, size_t cbData) : m_pData(pData), m_cbData(cbData) {}

    bool ReadWord(WORD* pWord)
    {
        if (m_nOffset > m_cbData || m_cbData - m_nOffset < sizeof(WORD))
            return false;
        std::memcpy(pWord, m_pData + m_nOffset, sizeof(WORD));
        m_nOffset += sizeof(WORD);
        return true;
    }
    // Zero-terminated UTF-16; false when the data ends before the terminator.
    bool ReadText(std::wstring* pText)
    {
        WORD ch = 0;
        while (ReadWord(&ch)) {
            if (!ch)
                return true;
            pText->push_back(wchar_t(ch));
        }
        return false;
    }
    // A skip past the end is noticed by the next read.
    void Skip(size_t cb)
    {
        const bool bPastEnd = m_nOffset > m_cbData || cb > m_cbData - m_nOffset;
        m_nOffset = bPastEnd ? m_cbData + 1 : m_nOffset + cb;
    }

private:
    const BYTE* m_pData;
    size_t m_cbData;
    size_t m_nOffset = 0;
};

// Reads items until the top level closes. Only the open levels are kept: for each, whether
// its last item has come (a popup, which closes the level when its own items end).
bool ReadItems(TemplateCursor& cursor, std::vector<MenuTemplateItem>* pItems)
{
    std::vector<bool> openLevelsEnding{false};
    while (!openLevelsEnding.empty()) {
        WORD wFlags = 0;
        MenuTemplateItem item;
        if (!cursor.ReadWord(&wFlags))
            return false;
        item.nDepth = int(openLevelsEnding.size()) - 1;
        item.nFlags = UINT(wFlags) & ~UINT(kEndOfLevel);
        if (!item.IsPopup() && !cursor.ReadWord(&item.wId))
            return false;
        if (!cursor.ReadText(&item.strText))
            return false;
        if (wFlags & kEndOfLevel)
            openLevelsEnding.back() = true;
        if (item.IsPopup())
            openLevelsEnding.push_back(false);
        else
            while (!openLevelsEnding.empty() && openLevelsEnding.back())
                openLevelsEnding.pop_back();
        pItems->push_back(std::move(item));
    }
    return true;
}

}  // namespace

MenuTemplateRead ReadMenuTemplate(const BYTE* pData, size_t cbData,
                                  std::vector<MenuTemplateItem>* pItems)
{
    pItems->clear();
    TemplateCursor cursor(pData, pData ? cbData : 0);
    WORD wVersion = 0, cbHeader = 0;
    if (!cursor.ReadWord(&wVersion) || !cursor.ReadWord(&cbHeader))
        return MenuTemplateRead::NoHeader;
    if (wVersion != 0)
        return MenuTemplateRead::Extended;
    cursor.Skip(cbHeader);
    if (!ReadItems(cursor, pItems)) {
        pItems->clear();
        return MenuTemplateRead::Unclosed;
    }
    return MenuTemplateRead::Read;
}
