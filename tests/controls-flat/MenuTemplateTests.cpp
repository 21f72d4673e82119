// ReadMenuTemplate on byte arrays: the items, depths and flags of well-formed templates,
// and every cut, odd or foreign input refused without a read past its end (the bytes
// sit right before a page the process may not touch).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>
#include "controls/MenuTemplate.h"

namespace {

const WORD kEnd = 0x80;

// The bytes of a template, written word by word.
class TemplateBytes {
public:
    explicit TemplateBytes(WORD wVersion = 0, WORD cbHeader = 0) { Words({wVersion, cbHeader}); }

    TemplateBytes& Words(std::initializer_list<WORD> words)
    {
        for (WORD w : words) {
            m_bytes.push_back(BYTE(w & 0xFF));
            m_bytes.push_back(BYTE(w >> 8));
        }
        return *this;
    }
    TemplateBytes& Text(const wchar_t* pszText)
    {
        for (const wchar_t* p = pszText; *p; ++p)
            Words({WORD(*p)});
        return Words({0});
    }
    TemplateBytes& Item(WORD wFlags, WORD wId, const wchar_t* pszText)
    {
        return Words({wFlags, wId}).Text(pszText);
    }
    TemplateBytes& Popup(WORD wFlags, const wchar_t* pszText)
    {
        return Words({WORD(wFlags | MF_POPUP)}).Text(pszText);
    }
    TemplateBytes& Byte(BYTE b)
    {
        m_bytes.push_back(b);
        return *this;
    }

    const std::vector<BYTE>& Bytes() const { return m_bytes; }

private:
    std::vector<BYTE> m_bytes;
};

// The bytes copied so that they end where a no-access page begins: a read past the end
// faults instead of passing unseen.
class GuardedBytes {
public:
    explicit GuardedBytes(const std::vector<BYTE>& bytes) : m_cbData(bytes.size())
    {
        SYSTEM_INFO info{};
        ::GetSystemInfo(&info);
        const size_t cbPage = info.dwPageSize;
        const size_t cbReadable = (bytes.size() / cbPage + 1) * cbPage;
        m_pBase = static_cast<BYTE*>(
            ::VirtualAlloc(nullptr, cbReadable + cbPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD dwOld = 0;
        ::VirtualProtect(m_pBase + cbReadable, cbPage, PAGE_NOACCESS, &dwOld);
        m_pData = m_pBase + cbReadable - bytes.size();
        if (!bytes.empty())
            std::memcpy(m_pData, bytes.data(), bytes.size());
    }
    ~GuardedBytes() { ::VirtualFree(m_pBase, 0, MEM_RELEASE); }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;

    MenuTemplateRead Read(std::vector<MenuTemplateItem>* pItems) const
    {
        return ReadMenuTemplate(m_pData, m_cbData, pItems);
    }

private:
    BYTE* m_pBase = nullptr;
    BYTE* m_pData = nullptr;
    size_t m_cbData;
};

using ItemView = std::tuple<int, UINT, WORD, std::wstring>;  // depth, flags, command, text

std::vector<ItemView> View(const std::vector<MenuTemplateItem>& items)
{
    std::vector<ItemView> view;
    for (const MenuTemplateItem& item : items)
        view.emplace_back(item.nDepth, item.nFlags, item.wId, item.strText);
    return view;
}

// The tests' own menu resource, written out: a popup with a nested popup, then a last
// top-level item.
TemplateBytes ToolsAndHelp()
{
    TemplateBytes bytes;
    bytes.Popup(0, L"&Tools")
        .Item(0, 101, L"&Copy\tCtrl+C")
        .Item(0, 102, L"Paste &All\tCtrl+Shift+V")
        .Item(MF_SEPARATOR, 0, L"")
        .Popup(0, L"&More")
        .Item(MF_CHECKED, 103, L"E&xport")
        .Item(WORD(MF_GRAYED | kEnd), 104, L"&Import")
        .Item(kEnd, 105, L"E&xit")
        .Item(kEnd, 106, L"&Help");
    return bytes;
}

const std::vector<ItemView> kToolsAndHelp = {
    {0, MF_POPUP, 0, L"&Tools"},
    {1, 0, 101, L"&Copy\tCtrl+C"},
    {1, 0, 102, L"Paste &All\tCtrl+Shift+V"},
    {1, MF_SEPARATOR, 0, L""},
    {1, MF_POPUP, 0, L"&More"},
    {2, MF_CHECKED, 103, L"E&xport"},
    {2, MF_GRAYED, 104, L"&Import"},
    {1, 0, 105, L"E&xit"},
    {0, 0, 106, L"&Help"},
};

}  // namespace

TEST(MenuTemplateReader, ReadsItemsInOrderWithTheirDepthsAndWithoutTheEndMark)
{
    const struct {
        const char* pszName;
        TemplateBytes bytes;
        std::vector<ItemView> expected;
    } cases[] = {
        {"one item", TemplateBytes().Item(kEnd, 7, L"Only"), {{0, 0, 7, L"Only"}}},
        {"nested popups", ToolsAndHelp(), kToolsAndHelp},
        {"a popup last at every level closes them all",
         TemplateBytes().Item(0, 1, L"a").Popup(kEnd, L"P").Popup(kEnd, L"Q").Item(kEnd, 2, L"q"),
         {{0, 0, 1, L"a"}, {0, MF_POPUP, 0, L"P"}, {1, MF_POPUP, 0, L"Q"}, {2, 0, 2, L"q"}}},
        {"the header's size is skipped",
         TemplateBytes(0, 4).Words({0xFFFF, 0xFFFF}).Item(kEnd, 9, L"x"),
         {{0, 0, 9, L"x"}}},
        {"bytes after the top level closes are not read",
         TemplateBytes().Item(kEnd, 3, L"y").Words({0x1234}).Byte(0x56),
         {{0, 0, 3, L"y"}}},
        {"characters beyond the code page",
         TemplateBytes().Item(kEnd, 4, L"\u00C9t\u00E9 \u20AC"),
         {{0, 0, 4, L"\u00C9t\u00E9 \u20AC"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        const GuardedBytes guarded(c.bytes.Bytes());
        std::vector<MenuTemplateItem> items;
        EXPECT_EQ(MenuTemplateRead::Read, guarded.Read(&items));
        EXPECT_EQ(c.expected, View(items));
    }
}

TEST(MenuTemplateReader, RefusesWhatIsNotAWholeStandardTemplate)
{
    const struct {
        const char* pszName;
        TemplateBytes bytes;
        MenuTemplateRead expected;
    } cases[] = {
        {"nothing after the header", TemplateBytes(), MenuTemplateRead::Unclosed},
        {"an extended template", TemplateBytes(1, 4).Words({0, 0}).Item(kEnd, 1, L"x"),
         MenuTemplateRead::Extended},
        {"a level that never closes", TemplateBytes().Item(0, 1, L"a").Item(0, 2, L"b"),
         MenuTemplateRead::Unclosed},
        {"a popup whose items never close", TemplateBytes().Popup(kEnd, L"A").Item(0, 1, L"x"),
         MenuTemplateRead::Unclosed},
        {"a text without its terminator", TemplateBytes().Words({kEnd, 1, L'a', L'b'}),
         MenuTemplateRead::Unclosed},
        {"an item cut in its command", TemplateBytes().Words({kEnd}), MenuTemplateRead::Unclosed},
        {"an odd byte in place of a word", TemplateBytes().Item(0, 1, L"a").Byte(0x80),
         MenuTemplateRead::Unclosed},
        {"a header size past the end", TemplateBytes(0, 0xFFFF).Item(kEnd, 1, L"x"),
         MenuTemplateRead::Unclosed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        const GuardedBytes guarded(c.bytes.Bytes());
        std::vector<MenuTemplateItem> items{MenuTemplateItem{}};
        EXPECT_EQ(c.expected, guarded.Read(&items));
        EXPECT_TRUE(items.empty()) << "nothing half-read is handed back";
    }
}

TEST(MenuTemplateReader, EveryCutOfATemplateIsRefusedWithoutReadingPastIt)
{
    const std::vector<BYTE> whole = ToolsAndHelp().Bytes();
    for (size_t cb = 0; cb < whole.size(); ++cb) {
        SCOPED_TRACE(cb);
        const GuardedBytes guarded(std::vector<BYTE>(whole.begin(), whole.begin() + cb));
        std::vector<MenuTemplateItem> items;
        EXPECT_EQ(cb < 4 ? MenuTemplateRead::NoHeader : MenuTemplateRead::Unclosed,
                  guarded.Read(&items));
    }
    std::vector<MenuTemplateItem> items;
    EXPECT_EQ(MenuTemplateRead::NoHeader, ReadMenuTemplate(nullptr, 64, &items));
}

TEST(MenuTemplateReader, ReadsAnyDepthOfNesting)
{
    const int nDepth = 20000;
    TemplateBytes bytes;
    for (int i = 0; i < nDepth; ++i)
        bytes.Popup(kEnd, L"p");
    bytes.Item(kEnd, 5, L"deepest");
    const GuardedBytes guarded(bytes.Bytes());
    std::vector<MenuTemplateItem> items;
    ASSERT_EQ(MenuTemplateRead::Read, guarded.Read(&items));
    ASSERT_EQ(size_t(nDepth) + 1, items.size());
    EXPECT_EQ((ItemView{nDepth, 0, 5, L"deepest"}), View({items.back()}).front());
}
