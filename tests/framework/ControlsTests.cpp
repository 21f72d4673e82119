// The control wrappers: CButton's owner-draw hook, reading list box entries, and the
// tooltip control's tools, each on real (hidden) windows.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <string>
#include "framework/Controls.h"

namespace {

// A hidden top-level window wrapped (not bound) by a CWnd, destroyed with the fixture.
class HiddenOwner : public ::testing::Test {
protected:
    void SetUp() override
    {
        HWND hWnd = ::CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 10, 10, 200, 100, nullptr,
                                      nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, hWnd);
        m_owner.Attach(hWnd);
    }
    void TearDown() override
    {
        if (m_owner.IsWindow())
            ::DestroyWindow(m_owner.Detach());
    }
    CWnd m_owner;
};

// Records the draw requests it gets.
class DrawingButton : public CButton {
public:
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override
    {
        ++m_nDrawn;
        m_pLast = lpDrawItemStruct;
    }
    int m_nDrawn = 0;
    LPDRAWITEMSTRUCT m_pLast = nullptr;
};

}  // namespace

TEST(CButtonTest, HandlesDrawItemItselfAndDeclinesEverythingElse)
{
    DrawingButton button;
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    LRESULT result = 12345;
    EXPECT_TRUE(button.OnChildNotify(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&dis), &result));
    EXPECT_EQ(TRUE, result);
    EXPECT_EQ(1, button.m_nDrawn);
    EXPECT_EQ(&dis, button.m_pLast);

    result = 777;
    EXPECT_FALSE(button.OnChildNotify(WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), 0, &result));
    EXPECT_FALSE(button.OnChildNotify(WM_CTLCOLORBTN, 0, 0, &result));
    MEASUREITEMSTRUCT mis{};
    EXPECT_FALSE(button.OnChildNotify(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis), &result));
    EXPECT_EQ(777, result);
    EXPECT_EQ(1, button.m_nDrawn);
}

TEST_F(HiddenOwner, ListBoxGetTextReadsEntriesAndAnswersEmptyOutOfRange)
{
    HWND hList = ::CreateWindowExA(0, "LISTBOX", "", WS_CHILD | LBS_NOTIFY, 0, 0, 100, 80, m_owner,
                                   nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, hList);
    CListBox list;
    list.Attach(hList);
    EXPECT_EQ(0, list.AddString("PKG_ONE [PACKAGE]"));
    EXPECT_EQ(1, list.AddString(""));
    const std::string longText(600, 'q');
    EXPECT_EQ(2, list.AddString(longText.c_str()));
    EXPECT_EQ(3, list.GetCount());
    EXPECT_EQ("PKG_ONE [PACKAGE]", list.GetText(0));
    EXPECT_EQ("", list.GetText(1));
    EXPECT_EQ(longText, list.GetText(2).str());
    EXPECT_EQ("", list.GetText(3));
    EXPECT_EQ("", list.GetText(-1));
    CString out("stale");
    list.GetText(0, out);
    EXPECT_EQ("PKG_ONE [PACKAGE]", out);
    list.Detach();
}

TEST_F(HiddenOwner, ToolTipIsCreatedOwnedByItsParent)
{
    CToolTipCtrl tip;
    ASSERT_TRUE(tip.Create(&m_owner));
    ASSERT_TRUE(tip.IsWindow());
    char cls[64] = {};
    ::GetClassNameA(tip, cls, sizeof(cls));
    EXPECT_EQ(0, lstrcmpiA(cls, TOOLTIPS_CLASSA));
    EXPECT_EQ(m_owner.GetSafeHwnd(), ::GetWindow(tip, GW_OWNER));
    EXPECT_TRUE(tip.GetStyle() & WS_POPUP);
    EXPECT_TRUE(tip.GetStyle() & TTS_ALWAYSTIP);
    // Wrapped, not bound: its messages do not come through an object.
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(tip));
    EXPECT_FALSE(tip.Create(&m_owner));  // once only
    EXPECT_EQ(0, tip.GetToolCount());
}

TEST_F(HiddenOwner, ToolTipAddsReadsAndUpdatesToolTexts)
{
    CToolTipCtrl tip;
    ASSERT_TRUE(tip.Create(&m_owner, TTS_NOPREFIX));
    EXPECT_TRUE(tip.GetStyle() & TTS_NOPREFIX);
    const RECT rc{0, 0, 50, 20};
    EXPECT_TRUE(tip.AddTool(&m_owner, "Go to www.example.com", &rc, 1));
    EXPECT_TRUE(tip.AddTool(&m_owner, "second", nullptr, 2));
    EXPECT_EQ(2, tip.GetToolCount());
    EXPECT_EQ("Go to www.example.com", tip.GetToolText(&m_owner, 1));
    EXPECT_EQ("second", tip.GetToolText(&m_owner, 2));
    EXPECT_EQ("", tip.GetToolText(&m_owner, 3));

    tip.UpdateTipText("E-mail someone@example.com", &m_owner, 1);
    EXPECT_EQ("E-mail someone@example.com", tip.GetToolText(&m_owner, 1));
    EXPECT_EQ("second", tip.GetToolText(&m_owner, 2));

    // The tool's rectangle is the one given; without one, the window's client area.
    TOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.hwnd = m_owner;
    ti.uId = 2;
    ASSERT_TRUE(tip.SendMessage(TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&ti)));
    RECT client{};
    m_owner.GetClientRect(&client);
    EXPECT_TRUE(::EqualRect(&client, &ti.rect));
    EXPECT_EQ(0u, ti.uFlags & TTF_SUBCLASS);  // the owner relays the mouse messages
    ti.uId = 1;
    ASSERT_TRUE(tip.SendMessage(TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&ti)));
    EXPECT_TRUE(::EqualRect(&rc, &ti.rect));

    tip.Activate(FALSE);
    EXPECT_EQ(-1, tip.SetMaxTipWidth(400));  // -1: no width was set before
    EXPECT_EQ(400, tip.SetMaxTipWidth(300));
}

TEST_F(HiddenOwner, ToolTipTextLongerThanTheLimitIsReadSafely)
{
    CToolTipCtrl tip;
    ASSERT_TRUE(tip.Create(&m_owner));
    const std::string text(3000, 'w');
    const RECT rc{0, 0, 10, 10};
    ASSERT_TRUE(tip.AddTool(&m_owner, text.c_str(), &rc, 1));
    const CString read = tip.GetToolText(&m_owner, 1);
    EXPECT_GT(read.GetLength(), 0);
    EXPECT_LE(read.GetLength(), INFOTIPSIZE);
    EXPECT_EQ(text.substr(0, size_t(read.GetLength())), read.str());
}

TEST_F(HiddenOwner, ToolTipGoesWithItsObjectAndSurvivesItsOwnerGoingFirst)
{
    HWND hTip = nullptr;
    {
        CToolTipCtrl tip;
        ASSERT_TRUE(tip.Create(&m_owner));
        hTip = tip;
    }
    EXPECT_FALSE(::IsWindow(hTip));

    CToolTipCtrl tip;
    ASSERT_TRUE(tip.Create(&m_owner));
    hTip = tip;
    ::DestroyWindow(m_owner.Detach());  // owned popups go with their owner
    EXPECT_FALSE(::IsWindow(hTip));
    EXPECT_FALSE(tip.AddTool(&m_owner, "x", nullptr, 1));
    // The destructor at the end of the test meets a window that is already gone.
}
