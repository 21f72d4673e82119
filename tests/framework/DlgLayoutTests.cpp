// Tests of CDlgLayout: the placement arithmetic on fixed numbers, and real windows with
// different frames, resized and read back.
#include <gtest/gtest.h>

#include "framework/DlgLayout.h"

namespace {

CDlgLayout::Entry MakeEntry(RECT rc, int moveX, int moveY, int stretchX, int stretchY)
{
    CDlgLayout::Entry entry;
    entry.rect = rc;
    entry.moveX = moveX;
    entry.moveY = moveY;
    entry.stretchX = stretchX;
    entry.stretchY = stretchY;
    return entry;
}

// A dialog window rectangle of 400 by 300 at (100, 50) with the classic frame: 4 pixels
// at the sides and the bottom, 23 at the top (border plus caption).
const RECT kDialog{100, 50, 500, 350};
const CDlgLayout::Frame kClassicFrame{4, 23, 4, 4};
const int kStartCx = 400 - 8;
const int kStartCy = 300 - 27;

}  // namespace

TEST(DlgLayoutPlace, StartingSizeKeepsEveryControlWhereItWas)
{
    const RECT c{120, 100, 220, 120};
    for (int flags = 0; flags < 16; ++flags) {
        auto entry = MakeEntry(c, flags & 1, (flags >> 1) & 1, (flags >> 2) & 1, (flags >> 3) & 1);
        RECT rc = CDlgLayout::Place(entry, kDialog, kClassicFrame, kStartCx, kStartCy);
        EXPECT_EQ(16, rc.left) << flags;
        EXPECT_EQ(27, rc.top) << flags;
        EXPECT_EQ(116, rc.right) << flags;
        EXPECT_EQ(47, rc.bottom) << flags;
    }
}

// With the classic frame the results are those of the constants 4, 8 and 23.
TEST(DlgLayoutPlace, ClassicFrameMatchesFixedConstants)
{
    const RECT c{130, 90, 180, 140};
    const int cx = 530, cy = 410;
    const int dw = 400;
    auto plain = MakeEntry(c, 0, 0, 1, 1);
    RECT rc = CDlgLayout::Place(plain, kDialog, kClassicFrame, cx, cy);
    EXPECT_EQ(c.left - kDialog.left - 4, rc.left);
    EXPECT_EQ(c.top - kDialog.top - 23, rc.top);
    EXPECT_EQ(c.right - c.left + (cx - dw + 8), rc.right - rc.left);
    EXPECT_EQ(c.bottom + cy - kDialog.bottom + 4 - rc.top, rc.bottom - rc.top);

    auto moving = MakeEntry(c, 1, 1, 0, 0);
    rc = CDlgLayout::Place(moving, kDialog, kClassicFrame, cx, cy);
    EXPECT_EQ(c.left + cx - kDialog.right + 4, rc.left);
    EXPECT_EQ(c.top + cy - kDialog.bottom + 4, rc.top);
    EXPECT_EQ(50, rc.right - rc.left);
    EXPECT_EQ(50, rc.bottom - rc.top);
}

TEST(DlgLayoutPlace, LargerDialogMovesAndStretches)
{
    const RECT c{120, 100, 220, 120};
    // 100 wider, 60 taller.
    const int cx = kStartCx + 100, cy = kStartCy + 60;
    RECT rc = CDlgLayout::Place(MakeEntry(c, 1, 0, 0, 0), kDialog, kClassicFrame, cx, cy);
    EXPECT_EQ(116, rc.left);
    EXPECT_EQ(27, rc.top);
    EXPECT_EQ(100, rc.right - rc.left);

    rc = CDlgLayout::Place(MakeEntry(c, 0, 1, 0, 0), kDialog, kClassicFrame, cx, cy);
    EXPECT_EQ(16, rc.left);
    EXPECT_EQ(87, rc.top);
    EXPECT_EQ(20, rc.bottom - rc.top);

    rc = CDlgLayout::Place(MakeEntry(c, 0, 0, 1, 0), kDialog, kClassicFrame, cx, cy);
    EXPECT_EQ(16, rc.left);
    EXPECT_EQ(200, rc.right - rc.left);
    EXPECT_EQ(20, rc.bottom - rc.top);

    rc = CDlgLayout::Place(MakeEntry(c, 0, 0, 0, 1), kDialog, kClassicFrame, cx, cy);
    EXPECT_EQ(100, rc.right - rc.left);
    EXPECT_EQ(27, rc.top);
    EXPECT_EQ(80, rc.bottom - rc.top);
}

// moveX wins over stretchX and moveY over stretchY: the control keeps its size.
TEST(DlgLayoutPlace, MoveFlagOverridesStretch)
{
    const RECT c{120, 100, 220, 120};
    RECT rc = CDlgLayout::Place(MakeEntry(c, 1, 1, 1, 1), kDialog, kClassicFrame, kStartCx + 50,
                                kStartCy + 40);
    EXPECT_EQ(66, rc.left);
    EXPECT_EQ(67, rc.top);
    EXPECT_EQ(100, rc.right - rc.left);
    EXPECT_EQ(20, rc.bottom - rc.top);
}

// Another frame (Wine's, a themed one): the starting size still keeps every place.
TEST(DlgLayoutPlace, OtherFrameMetricsKeepStartingPlaces)
{
    const CDlgLayout::Frame frame{8, 31, 8, 8};
    const int cx = 400 - 16, cy = 300 - 39;
    const RECT c{300, 200, 340, 230};
    for (int flags = 0; flags < 16; ++flags) {
        auto entry = MakeEntry(c, flags & 1, (flags >> 1) & 1, (flags >> 2) & 1, (flags >> 3) & 1);
        RECT rc = CDlgLayout::Place(entry, kDialog, frame, cx, cy);
        EXPECT_EQ(300 - 100 - 8, rc.left) << flags;
        EXPECT_EQ(200 - 50 - 31, rc.top) << flags;
        EXPECT_EQ(40, rc.right - rc.left) << flags;
        EXPECT_EQ(30, rc.bottom - rc.top) << flags;
    }
}

TEST(DlgLayout, ResizeWithoutEntriesDoesNothing)
{
    CDlgLayout layout;
    EXPECT_EQ(0, layout.Resize(100, 100));
    EXPECT_EQ(0, layout.GetCount());
}

// Real windows: a top-level window with a set of child controls, for several frames.
class DlgLayoutWindow : public ::testing::TestWithParam<DWORD> {
protected:
    void SetUp() override
    {
        const DWORD dwStyle = GetParam();
        m_hWnd = ::CreateWindowExA(0, "STATIC", "layout", dwStyle, 60, 40, 420, 320, nullptr,
                                   nullptr, ::GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, m_hWnd);
        const RECT places[] = {
            {10, 10, 110, 30}, {200, 40, 260, 60}, {10, 150, 390, 170}, {300, 200, 380, 230}};
        for (const RECT& rc : places) {
            HWND hChild = ::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, rc.left, rc.top,
                                            rc.right - rc.left, rc.bottom - rc.top, m_hWnd, nullptr,
                                            ::GetModuleHandleA(nullptr), nullptr);
            ASSERT_NE(nullptr, hChild);
            m_children.push_back(hChild);
            m_places.push_back(rc);
        }
    }
    void TearDown() override
    {
        if (m_hWnd)
            ::DestroyWindow(m_hWnd);
    }
    RECT ChildRect(int i) const
    {
        RECT rc;
        ::GetWindowRect(m_children[i], &rc);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }
    SIZE ClientSize() const
    {
        RECT rc;
        ::GetClientRect(m_hWnd, &rc);
        return SIZE{rc.right, rc.bottom};
    }
    void Register(CDlgLayout& layout)
    {
        layout.Attach(m_hWnd);
        layout.AddControl(m_children[0], 0, 0, 1, 1);
        layout.AddControl(m_children[1], 1, 0, 0, 0);
        layout.AddControl(m_children[2], 0, 1, 1, 0);
        layout.AddControl(m_children[3], 1, 1, 0, 0);
    }

    HWND m_hWnd = nullptr;
    std::vector<HWND> m_children;
    std::vector<RECT> m_places;
};

TEST_P(DlgLayoutWindow, MeasuresTheRealFrame)
{
    CDlgLayout layout;
    layout.Attach(m_hWnd);
    RECT rcWindow, rcClient;
    ::GetWindowRect(m_hWnd, &rcWindow);
    ::GetClientRect(m_hWnd, &rcClient);
    const CDlgLayout::Frame& f = layout.GetFrame();
    EXPECT_EQ(rcWindow.right - rcWindow.left, f.left + rcClient.right + f.right);
    EXPECT_EQ(rcWindow.bottom - rcWindow.top, f.top + rcClient.bottom + f.bottom);
    if ((GetParam() & WS_CAPTION) == WS_CAPTION) {
        EXPECT_GT(f.top, f.bottom);
    }
}

TEST_P(DlgLayoutWindow, StartingSizeLeavesControlsInPlace)
{
    CDlgLayout layout;
    Register(layout);
    const SIZE sz = ClientSize();
    EXPECT_EQ(4, layout.Resize(sz.cx, sz.cy));
    for (size_t i = 0; i < m_children.size(); ++i) {
        RECT rc = ChildRect(int(i));
        EXPECT_EQ(m_places[i].left, rc.left) << i;
        EXPECT_EQ(m_places[i].top, rc.top) << i;
        EXPECT_EQ(m_places[i].right, rc.right) << i;
        EXPECT_EQ(m_places[i].bottom, rc.bottom) << i;
    }
}

TEST_P(DlgLayoutWindow, FollowsTheEdgesAndComesBack)
{
    CDlgLayout layout;
    Register(layout);
    const SIZE sz = ClientSize();
    layout.Resize(sz.cx + 120, sz.cy + 80);
    RECT rc = ChildRect(0);  // stretches both ways
    EXPECT_EQ(10, rc.left);
    EXPECT_EQ(10, rc.top);
    EXPECT_EQ(110 + 120, rc.right);
    EXPECT_EQ(30 + 80, rc.bottom);
    rc = ChildRect(1);  // follows the right edge
    EXPECT_EQ(200 + 120, rc.left);
    EXPECT_EQ(40, rc.top);
    EXPECT_EQ(60, rc.right - rc.left);
    rc = ChildRect(2);  // follows the bottom, stretches in width
    EXPECT_EQ(10, rc.left);
    EXPECT_EQ(150 + 80, rc.top);
    EXPECT_EQ(390 + 120, rc.right);
    rc = ChildRect(3);  // follows the corner
    EXPECT_EQ(300 + 120, rc.left);
    EXPECT_EQ(200 + 80, rc.top);
    EXPECT_EQ(80, rc.right - rc.left);
    EXPECT_EQ(30, rc.bottom - rc.top);

    layout.Resize(sz.cx, sz.cy);
    for (size_t i = 0; i < m_children.size(); ++i) {
        rc = ChildRect(int(i));
        EXPECT_EQ(m_places[i].left, rc.left) << i;
        EXPECT_EQ(m_places[i].top, rc.top) << i;
        EXPECT_EQ(m_places[i].right, rc.right) << i;
        EXPECT_EQ(m_places[i].bottom, rc.bottom) << i;
    }
}

// Shrinking by more than 70 pixels leaves the controls where they were at 70.
TEST_P(DlgLayoutWindow, StopsFollowingSeventyPixelsBelowTheStart)
{
    CDlgLayout layout;
    Register(layout);
    const SIZE sz = ClientSize();
    layout.Resize(sz.cx - 70, sz.cy - 70);
    const RECT rcAt70 = ChildRect(3);
    EXPECT_EQ(300 - 70, rcAt70.left);
    EXPECT_EQ(200 - 70, rcAt70.top);
    layout.Resize(sz.cx - 200, sz.cy - 150);
    RECT rc = ChildRect(3);
    EXPECT_EQ(rcAt70.left, rc.left);
    EXPECT_EQ(rcAt70.top, rc.top);
    rc = ChildRect(0);
    EXPECT_EQ(110 - 70, rc.right);
    // Just inside the margin the controls still follow.
    layout.Resize(sz.cx - 69, sz.cy - 10);
    rc = ChildRect(3);
    EXPECT_EQ(300 - 69, rc.left);
    EXPECT_EQ(200 - 10, rc.top);
}

INSTANTIATE_TEST_SUITE_P(Frames, DlgLayoutWindow,
                         ::testing::Values(DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU |
                                                 WS_THICKFRAME),
                                           DWORD(WS_OVERLAPPEDWINDOW), DWORD(WS_POPUP | WS_BORDER),
                                           DWORD(WS_POPUP | WS_DLGFRAME | WS_THICKFRAME)));
