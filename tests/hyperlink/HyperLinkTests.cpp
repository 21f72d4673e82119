// CHyperLink through real windows: a static bound to the link inside a parent that
// reflects notifications. Address and tooltip from the text, the size fitted to the text,
// hover underline and its removal by the 100 ms poll, cursor, colours, clicks (with the
// opening replaced, so that nothing is launched), the failure messages in the program's
// message box (closed by the test), the browser command line and the registry reads.
#include <gtest/gtest.h>

#include <windows.h>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>
#include "controls/HyperLink.h"
#include "dialogs/AppMessageBox.h"
#include "framework/Dialog.h"
#include "framework/Gdi.h"
#include "res/resource.h"

namespace {

const char kParentClass[] = "QmHyperLinkTestParent";
const int kLinkId = 1025;

void RegisterParentClass()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kParentClass;
    ::RegisterClassA(&wc);
}

// A plain window bound to a CWnd, so that it reflects its children's notifications.
class ReflectingParent : public CWnd {};

// The link with the opening replaced: records the call and answers nResult.
class FakeOpenLink : public CHyperLink {
public:
    int nResult = 42;
    std::vector<std::string> opened;
    std::vector<int> showCommands;
    int OpenLink(const char* pszAddress, int nShowCmd) override
    {
        opened.emplace_back(pszAddress);
        showCommands.push_back(nShowCmd);
        return nResult;
    }
};

// Watches for the program's message box on another thread, reads its text and presses OK.
class MessageBoxCloser {
public:
    MessageBoxCloser()
    {
        m_thread = std::thread([this] { Run(); });
    }
    ~MessageBoxCloser() { Join(); }
    void Join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    bool Found() const { return m_bFound; }
    const std::string& Text() const { return m_text; }

private:
    void Run()
    {
        for (int i = 0; i < 500; ++i) {  // at most 10 seconds
            HWND hBox = ::FindWindowA(nullptr, "Quillmark");
            if (hBox && ::IsWindowVisible(hBox)) {
                char szText[2048] = "";
                ::GetDlgItemTextA(hBox, 1032, szText, sizeof(szText));
                m_text = szText;
                m_bFound = true;
                ::PostMessageA(hBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                               reinterpret_cast<LPARAM>(::GetDlgItem(hBox, IDOK)));
                return;
            }
            ::Sleep(20);
        }
    }
    std::thread m_thread;
    std::atomic<bool> m_bFound{false};
    std::string m_text;
};

// Runs the thread's messages for nMs milliseconds.
void Pump(DWORD nMs)
{
    const DWORD dwEnd = ::GetTickCount() + nMs;
    while (LONG(dwEnd - ::GetTickCount()) > 0) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::Sleep(10);
    }
}

bool FontIsUnderlined(HWND hWnd)
{
    LOGFONTA lf{};
    HFONT hFont = reinterpret_cast<HFONT>(::SendMessageA(hWnd, WM_GETFONT, 0, 0));
    return CFont::GetLogFont(hFont, &lf) && lf.lfUnderline;
}

// The width and height of text in the default GUI font with underlining.
SIZE UnderlinedExtent(const char* pszText)
{
    LOGFONTA lf{};
    CFont::GetLogFont(static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)), &lf);
    lf.lfUnderline = TRUE;
    CFont font;
    font.CreateFontIndirect(&lf);
    CClientDC dc(nullptr);
    CSelectObject select(dc, font);
    return dc.GetTextExtent(pszText, -1);
}

class HyperLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterParentClass();
        HWND hParent =
            ::CreateWindowExA(0, kParentClass, "Hyperlink", WS_OVERLAPPEDWINDOW, 100, 100, 400, 300,
                              nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, hParent);
        ASSERT_TRUE(parent.SubclassWindow(hParent));
    }
    void TearDown() override
    {
        if (parent.IsWindow())
            ::DestroyWindow(parent.m_hWnd);
    }

    // Creates a static with text and style at (x, y, cx, cy) in the parent and binds link to it.
    HWND AddLink(CHyperLink& link, const char* pszText, DWORD dwStyle = SS_LEFT, int x = 10,
                 int y = 10, int cx = 300, int cy = 30)
    {
        HWND hWnd = ::CreateWindowExA(
            0, "STATIC", pszText, WS_CHILD | WS_VISIBLE | dwStyle, x, y, cx, cy, parent.m_hWnd,
            reinterpret_cast<HMENU>(INT_PTR(kLinkId)), ::GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(nullptr, hWnd);
        ::SendMessageA(hWnd, WM_SETFONT,
                       reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        EXPECT_TRUE(link.SubclassWindow(hWnd));
        return hWnd;
    }

    // The control's rectangle in the parent's client coordinates.
    RECT RectInParent(HWND hWnd) const
    {
        RECT rc;
        ::GetWindowRect(hWnd, &rc);
        ::MapWindowPoints(HWND_DESKTOP, parent.m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }

    ReflectingParent parent;
};

// ---------------------------------------------------------------------------------------
// Address and tooltip

TEST_F(HyperLinkTest, WwwTextGetsHttpAndGoToTip)
{
    CHyperLink link;
    HWND hWnd = AddLink(link, "www.quillmark.example");
    EXPECT_STREQ("http://www.quillmark.example", link.GetAddress());
    EXPECT_STREQ("Go to www.quillmark.example", link.GetTipText());
    EXPECT_STREQ("Go to www.quillmark.example", link.GetToolTip().GetToolText(&link, 1));
    char szText[100] = "";
    ::GetWindowTextA(hWnd, szText, sizeof(szText));
    EXPECT_STREQ("www.quillmark.example", szText);  // the text itself is unchanged
}

TEST_F(HyperLinkTest, WwwPrefixInAnyCase)
{
    CHyperLink link;
    AddLink(link, "WwW.Quillmark.Example");
    EXPECT_STREQ("http://WwW.Quillmark.Example", link.GetAddress());
    EXPECT_STREQ("Go to WwW.Quillmark.Example", link.GetTipText());
}

TEST_F(HyperLinkTest, MailtoGetsEmailTip)
{
    CHyperLink link;
    AddLink(link, "mailto:someone@quillmark.example");
    EXPECT_STREQ("mailto:someone@quillmark.example", link.GetAddress());
    EXPECT_STREQ("E-mail someone@quillmark.example", link.GetToolTip().GetToolText(&link, 1));
}

TEST_F(HyperLinkTest, OtherTextIsShownWhole)
{
    CHyperLink link;
    AddLink(link, "ftp.quillmark.example/files");
    EXPECT_STREQ("ftp.quillmark.example/files", link.GetAddress());
    EXPECT_STREQ("ftp.quillmark.example/files", link.GetToolTip().GetToolText(&link, 1));
}

TEST_F(HyperLinkTest, AddressSetBeforeBindingIsKept)
{
    CHyperLink link;
    link.SetAddress("HTTP://elsewhere.example");
    AddLink(link, "www.quillmark.example");
    EXPECT_STREQ("HTTP://elsewhere.example", link.GetAddress());
    EXPECT_STREQ("Go to elsewhere.example", link.GetTipText());
}

TEST(HyperLinkTip, PrefixWordsOnlyWhenAsked)
{
    EXPECT_STREQ("Go to x.example", CHyperLink::TipTextFor("http://x.example", TRUE));
    EXPECT_STREQ("Go to x.example", CHyperLink::TipTextFor("hTTp://x.example", TRUE));
    EXPECT_STREQ("E-mail a@b", CHyperLink::TipTextFor("MAILTO:a@b", TRUE));
    EXPECT_STREQ("http://x.example", CHyperLink::TipTextFor("http://x.example", FALSE));
    EXPECT_STREQ("https://x.example", CHyperLink::TipTextFor("https://x.example", TRUE));
    EXPECT_STREQ("Go to ", CHyperLink::TipTextFor("http://", TRUE));
    EXPECT_STREQ("http:/", CHyperLink::TipTextFor("http:/", TRUE));
    EXPECT_STREQ("", CHyperLink::TipTextFor(nullptr, TRUE));
}

TEST_F(HyperLinkTest, BindingAddsNotifyStyle)
{
    CHyperLink link;
    HWND hWnd = AddLink(link, "www.quillmark.example");
    EXPECT_TRUE(DWORD(::GetWindowLongPtrA(hWnd, GWL_STYLE)) & SS_NOTIFY);
    EXPECT_EQ(1, link.GetToolTip().GetToolCount());
}

// ---------------------------------------------------------------------------------------
// Fitting to the text

TEST_F(HyperLinkTest, LeftAlignedKeepsItsLeftEdge)
{
    CHyperLink link;
    HWND hWnd = AddLink(link, "www.quillmark.example", SS_LEFT, 20, 15, 300, 40);
    const SIZE ext = UnderlinedExtent("www.quillmark.example");
    const RECT rc = RectInParent(hWnd);
    EXPECT_EQ(20, rc.left);
    EXPECT_EQ(20 + ext.cx, rc.right);
    EXPECT_EQ(15, rc.top);
    EXPECT_EQ(15 + ext.cy, rc.bottom);
}

TEST_F(HyperLinkTest, RightAlignedKeepsItsRightEdge)
{
    CHyperLink link;
    HWND hWnd = AddLink(link, "www.quillmark.example", SS_RIGHT, 20, 15, 300, 40);
    const SIZE ext = UnderlinedExtent("www.quillmark.example");
    const RECT rc = RectInParent(hWnd);
    EXPECT_EQ(320, rc.right);
    EXPECT_EQ(320 - ext.cx, rc.left);
    EXPECT_EQ(15, rc.top);
}

TEST_F(HyperLinkTest, CentredShrinksAboutItsCentre)
{
    CHyperLink link;
    HWND hWnd = AddLink(link, "www.quillmark.example", SS_CENTER, 20, 15, 301, 40);
    const SIZE ext = UnderlinedExtent("www.quillmark.example");
    const RECT rc = RectInParent(hWnd);
    const int d = (301 - ext.cx) / 2;
    EXPECT_EQ(20 + d, rc.left);
    EXPECT_EQ(321 - d, rc.right);
    EXPECT_EQ(15, rc.top);
    EXPECT_EQ(15 + ext.cy, rc.bottom);
}

TEST_F(HyperLinkTest, CentreImageCentresVertically)
{
    CHyperLink link;
    HWND hWnd = AddLink(link, "www.quillmark.example", SS_LEFT | SS_CENTERIMAGE, 20, 15, 300, 41);
    const SIZE ext = UnderlinedExtent("www.quillmark.example");
    const RECT rc = RectInParent(hWnd);
    const int d = (41 - ext.cy) / 2;
    EXPECT_EQ(15 + d, rc.top);
    EXPECT_EQ(56 - d, rc.bottom);
}

TEST_F(HyperLinkTest, BorderIsAddedToTheSize)
{
    CHyperLink link;
    HWND hWnd = ::CreateWindowExA(0, "STATIC", "www.quillmark.example",
                                  WS_CHILD | WS_VISIBLE | WS_BORDER | SS_LEFT, 20, 15, 300, 40,
                                  parent.m_hWnd, reinterpret_cast<HMENU>(INT_PTR(kLinkId)),
                                  ::GetModuleHandleA(nullptr), nullptr);
    ::SendMessageA(hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)),
                   FALSE);
    ASSERT_TRUE(link.SubclassWindow(hWnd));
    const SIZE ext = UnderlinedExtent("www.quillmark.example");
    RECT rcClient;
    ::GetClientRect(hWnd, &rcClient);
    EXPECT_EQ(ext.cx, rcClient.right);
    EXPECT_EQ(ext.cy, rcClient.bottom);
}

// ---------------------------------------------------------------------------------------
// Hover, cursor and colours

TEST_F(HyperLinkTest, HoverUnderlinesAndThePollRemovesIt)
{
    CHyperLink link;
    HWND hWnd = AddLink(link, "www.quillmark.example");
    EXPECT_FALSE(FontIsUnderlined(hWnd));
    ASSERT_TRUE(::SetCursorPos(900, 700));
    ::SendMessageA(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_TRUE(link.IsMouseOver());
    EXPECT_TRUE(FontIsUnderlined(hWnd));
    Pump(400);
    EXPECT_FALSE(link.IsMouseOver());
    EXPECT_FALSE(FontIsUnderlined(hWnd));
}

TEST_F(HyperLinkTest, HoverStaysWhileTheCursorIsInside)
{
    CHyperLink link;
    HWND hWnd = AddLink(link, "www.quillmark.example");
    POINT pt{3, 3};
    ::ClientToScreen(hWnd, &pt);
    ASSERT_TRUE(::SetCursorPos(pt.x, pt.y));
    ::SendMessageA(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    Pump(350);
    EXPECT_TRUE(link.IsMouseOver());
    EXPECT_TRUE(FontIsUnderlined(hWnd));
    // Leaving later ends the hover on the next tick.
    ASSERT_TRUE(::SetCursorPos(900, 700));
    Pump(350);
    EXPECT_FALSE(link.IsMouseOver());
    EXPECT_FALSE(FontIsUnderlined(hWnd));
}

TEST_F(HyperLinkTest, UnderlineModes)
{
    CHyperLink link;
    HWND hWnd = AddLink(link, "www.quillmark.example");
    link.SetUnderlineMode(CHyperLink::UnderlineAlways);
    EXPECT_TRUE(FontIsUnderlined(hWnd));
    ASSERT_TRUE(::SetCursorPos(900, 700));
    ::SendMessageA(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    Pump(300);
    EXPECT_FALSE(link.IsMouseOver());
    EXPECT_TRUE(FontIsUnderlined(hWnd));  // always means always

    link.SetUnderlineMode(CHyperLink::UnderlineNever);
    EXPECT_FALSE(FontIsUnderlined(hWnd));
    ::SendMessageA(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_TRUE(link.IsMouseOver());
    EXPECT_FALSE(FontIsUnderlined(hWnd));
    Pump(300);
    EXPECT_FALSE(link.IsMouseOver());
}

TEST_F(HyperLinkTest, HandCursorOverTheLink)
{
    CHyperLink link;
    HWND hWnd = AddLink(link, "www.quillmark.example");
    ASSERT_NE(nullptr, link.GetHandCursor());
    EXPECT_EQ(TRUE, ::SendMessageA(hWnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hWnd),
                                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(link.GetHandCursor(), ::GetCursor());
}

TEST_F(HyperLinkTest, SetHandCursorOwnsTheCursorAndNoneReloadsTheHand)
{
    CHyperLink link;
    HWND hWnd = AddLink(link, "www.quillmark.example");
    HCURSOR hArrow = ::LoadCursorA(nullptr, IDC_ARROW);
    link.SetHandCursor(::CopyIcon(hArrow));
    EXPECT_NE(nullptr, link.GetHandCursor());
    link.SetHandCursor(nullptr);  // loads the hand again
    EXPECT_NE(nullptr, link.GetHandCursor());
    EXPECT_EQ(TRUE, ::SendMessageA(hWnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hWnd),
                                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
}

TEST_F(HyperLinkTest, ColourRequestIsAnsweredByTheLink)
{
    CHyperLink link;
    HWND hWnd = AddLink(link, "www.quillmark.example");
    CMemDC dc(nullptr);
    ::SetTextColor(dc, RGB(1, 2, 3));
    ::SetBkMode(dc, OPAQUE);
    const LRESULT brush =
        ::SendMessageA(parent.m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.GetSafeHdc()),
                       reinterpret_cast<LPARAM>(hWnd));
    EXPECT_EQ(reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)), brush);
    EXPECT_EQ(RGB(52, 70, 92), ::GetTextColor(dc));
    EXPECT_EQ(TRANSPARENT, ::GetBkMode(dc));
}

TEST_F(HyperLinkTest, EraseFillsWithTheFaceColour)
{
    CHyperLink link;
    HWND hWnd = AddLink(link, "www.quillmark.example");
    CMemDC dc(nullptr);
    CBitmap bitmap;
    DWORD* pBits = nullptr;
    ASSERT_TRUE(bitmap.CreateDIBSection32(20, 10, reinterpret_cast<void**>(&pBits)));
    CSelectObject select(dc, bitmap);
    for (int i = 0; i < 200; ++i)
        pBits[i] = 0x00123456;
    EXPECT_NE(0, ::SendMessageA(hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0));
    ::GdiFlush();
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ((DWORD(GetRValue(face)) << 16) | (DWORD(GetGValue(face)) << 8) | GetBValue(face),
              pBits[5 * 20 + 5]);
}

// ---------------------------------------------------------------------------------------
// Clicks

TEST_F(HyperLinkTest, ClickOpensTheAddressAndMarksVisited)
{
    FakeOpenLink link;
    HWND hWnd = AddLink(link, "www.quillmark.example");
    ::SendMessageA(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    ::SendMessageA(hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    ::SendMessageA(hWnd, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    ASSERT_EQ(1u, link.opened.size());
    EXPECT_EQ("http://www.quillmark.example", link.opened[0]);
    EXPECT_EQ(SW_SHOW, link.showCommands[0]);
    EXPECT_TRUE(link.IsVisited());
    EXPECT_FALSE(link.IsMouseOver());
}

TEST_F(HyperLinkTest, MailtoClickPassesTheWholeText)
{
    FakeOpenLink link;
    AddLink(link, "mailto:someone@quillmark.example");
    ::SendMessageA(parent.m_hWnd, WM_COMMAND, MAKEWPARAM(kLinkId, STN_CLICKED),
                   reinterpret_cast<LPARAM>(link.m_hWnd));
    ASSERT_EQ(1u, link.opened.size());
    EXPECT_EQ("mailto:someone@quillmark.example", link.opened[0]);
}

TEST_F(HyperLinkTest, FailedClickShowsTheUnknownErrorMessage)
{
    FakeOpenLink link;
    HWND hWnd = AddLink(link, "www.quillmark.example");
    link.SetMessageFunction(ShowAppMessage);
    link.SetVisitedState(TRUE);
    link.nResult = 4;
    MessageBoxCloser closer;
    ::SendMessageA(hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    closer.Join();
    ASSERT_TRUE(closer.Found());
    EXPECT_EQ("Unable to open hyperlink:\r\n\r\nUnknown Error (4) occurred.", closer.Text());
    EXPECT_FALSE(link.IsVisited());  // a failed click clears the earlier visit
    EXPECT_EQ(1u, link.opened.size());
}

TEST_F(HyperLinkTest, ShowOpenErrorUsesTheTable)
{
    CHyperLink link;
    link.SetMessageFunction(ShowAppMessage);
    MessageBoxCloser closer;
    link.ShowOpenError(SE_ERR_DDEFAIL);
    closer.Join();
    ASSERT_TRUE(closer.Found());
    EXPECT_EQ("Unable to open hyperlink:\r\n\r\nThe DDE transaction failed.", closer.Text());
}

TEST(HyperLinkErrors, TextsForEveryCode)
{
    const struct {
        int nCode;
        const char* pszText;
    } cases[] = {
        {0, "The operating system is out\nof memory or resources."},
        {2, "The specified file was not found."},
        {3, "The specified path was not found."},
        {5, "The operating system denied\naccess to the specified file."},
        {8, "There was not enough memory to complete the operation."},
        {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
        {26, "A sharing violation occurred. "},
        {27, "The filename association is\nincomplete or invalid."},
        {28, "The DDE transaction could not\nbe completed because the request timed out."},
        {29, "The DDE transaction failed."},
        {30, "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
             "being processed."},
        {31, "There is no application associated\nwith the given filename extension."},
        {32, "The specified dynamic-link library was not found."},
        {4, "Unknown Error (4) occurred."},
        {1, "Unknown Error (1) occurred."},
        {-7, "Unknown Error (-7) occurred."},
        {33, "Unknown Error (33) occurred."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::string("Unable to open hyperlink:\n\n") + c.pszText,
                  std::string(CHyperLink::OpenErrorText(c.nCode)))
            << c.nCode;
}

// ---------------------------------------------------------------------------------------
// The registered browser's command line

TEST(HyperLinkCommand, QuotedPlaceholderIsCutBeforeTheQuote)
{
    CString line;
    ASSERT_TRUE(CHyperLink::BuildBrowserCommand("\"C:\\Browser\\b.exe\" -url \"%1\"",
                                                "http://x.example", &line));
    EXPECT_STREQ("\"C:\\Browser\\b.exe\" -url  http://x.example", line);
}

TEST(HyperLinkCommand, UnquotedPlaceholderIsCutAtIt)
{
    CString line;
    ASSERT_TRUE(CHyperLink::BuildBrowserCommand("C:\\b.exe %1 -new", "http://x.example", &line));
    EXPECT_STREQ("C:\\b.exe  http://x.example", line);
}

TEST(HyperLinkCommand, NoPlaceholderAppendsTheAddress)
{
    CString line;
    ASSERT_TRUE(CHyperLink::BuildBrowserCommand("C:\\b.exe -nohome", "http://x.example", &line));
    EXPECT_STREQ("C:\\b.exe -nohome http://x.example", line);
}

TEST(HyperLinkCommand, AddressTooLongForTheBufferIsRefused)
{
    CString line = "untouched";
    // "b.exe" + " " + address + terminator must fit 520 characters.
    const std::string fits(513, 'a');
    ASSERT_TRUE(CHyperLink::BuildBrowserCommand("b.exe", fits.c_str(), &line));
    EXPECT_EQ(519, line.GetLength());
    line = "untouched";
    const std::string tooLong(514, 'a');
    EXPECT_FALSE(CHyperLink::BuildBrowserCommand("b.exe", tooLong.c_str(), &line));
    EXPECT_STREQ("untouched", line);
    const std::string huge(100000, 'a');
    EXPECT_FALSE(CHyperLink::BuildBrowserCommand("\"C:\\b.exe\" \"%1\"", huge.c_str(), &line));
    EXPECT_STREQ("untouched", line);
}

// The fallback itself, with an address too long for the command line: nothing is run and
// the shell's failure code comes back.
class FallbackProbe : public CHyperLink {
public:
    using CHyperLink::OpenWithRegisteredBrowser;
};

TEST(HyperLinkCommand, FallbackRefusesAnOverlongAddress)
{
    FallbackProbe link;
    const std::string address = "http://" + std::string(600, 'a') + ".example";
    EXPECT_EQ(SE_ERR_NOASSOC,
              link.OpenWithRegisteredBrowser(address.c_str(), SW_SHOW, SE_ERR_NOASSOC));
}

// ---------------------------------------------------------------------------------------
// Registry reads (a key of the test's own under HKEY_CURRENT_USER)

class RegistryTest : public ::testing::Test {
protected:
    static constexpr const char* kKey = "Software\\QuillmarkHyperLinkTest";
    void SetUp() override
    {
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0,
                                                   KEY_ALL_ACCESS, nullptr, &m_hKey, nullptr));
    }
    void TearDown() override
    {
        if (m_hKey)
            ::RegCloseKey(m_hKey);
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    }
    void SetDefault(DWORD dwType, const void* pData, DWORD cb)
    {
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(m_hKey, nullptr, 0, dwType,
                                                  static_cast<const BYTE*>(pData), cb));
    }
    HKEY m_hKey = nullptr;
};

TEST_F(RegistryTest, ReadsTheDefaultString)
{
    SetDefault(REG_SZ, "htmlfile", 9);
    char sz[520] = "before";
    EXPECT_EQ(ERROR_SUCCESS,
              CHyperLink::ReadKeyDefaultValue(HKEY_CURRENT_USER, kKey, sz, sizeof(sz)));
    EXPECT_STREQ("htmlfile", sz);
}

TEST_F(RegistryTest, StringWithoutTerminatorIsEndedSafely)
{
    SetDefault(REG_SZ, "abcXYZ", 3);
    char sz[520];
    std::memset(sz, 'q', sizeof(sz));
    EXPECT_EQ(ERROR_SUCCESS,
              CHyperLink::ReadKeyDefaultValue(HKEY_CURRENT_USER, kKey, sz, sizeof(sz)));
    EXPECT_STREQ("abc", sz);
}

TEST_F(RegistryTest, MissingKeyLeavesTheBufferAlone)
{
    char sz[520] = "before";
    EXPECT_NE(ERROR_SUCCESS,
              CHyperLink::ReadKeyDefaultValue(HKEY_CURRENT_USER, "Software\\QuillmarkNoSuchKey", sz,
                                              sizeof(sz)));
    EXPECT_STREQ("before", sz);
}

TEST_F(RegistryTest, KeyWithoutDefaultValueIsAFailedLookup)
{
    char sz[520] = "before";
    EXPECT_NE(ERROR_SUCCESS,
              CHyperLink::ReadKeyDefaultValue(HKEY_CURRENT_USER, kKey, sz, sizeof(sz)));
    EXPECT_STREQ("before", sz);
}

TEST_F(RegistryTest, ValueThatIsNotAStringIsAFailedLookup)
{
    const DWORD dw = 12345;
    SetDefault(REG_DWORD, &dw, sizeof(dw));
    char sz[520] = "before";
    EXPECT_NE(ERROR_SUCCESS,
              CHyperLink::ReadKeyDefaultValue(HKEY_CURRENT_USER, kKey, sz, sizeof(sz)));
    EXPECT_STREQ("before", sz);
}

TEST_F(RegistryTest, ValueTooLongToReadIsAFailedLookup)
{
    const std::string value(400, 'v');
    SetDefault(REG_SZ, value.c_str(), DWORD(value.size() + 1));
    char sz[520] = "before";
    EXPECT_NE(ERROR_SUCCESS,
              CHyperLink::ReadKeyDefaultValue(HKEY_CURRENT_USER, kKey, sz, sizeof(sz)));
    EXPECT_STREQ("before", sz);
}

TEST_F(RegistryTest, OutputTooSmallIsRefused)
{
    SetDefault(REG_SZ, "htmlfile", 9);
    char sz[8] = "before";
    EXPECT_NE(ERROR_SUCCESS,
              CHyperLink::ReadKeyDefaultValue(HKEY_CURRENT_USER, kKey, sz, sizeof(sz)));
    EXPECT_STREQ("before", sz);
}

// ---------------------------------------------------------------------------------------
// Bound by data exchange to the About box's own template, as the program does

class AboutTemplateDlg : public CDialog {
public:
    AboutTemplateDlg() : CDialog(IDD_ABOUTBOX) {}
    CHyperLink m_link;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, IDC_ABOUT_WEBLINK, m_link);
    }
};

TEST(HyperLinkInDialog, AboutBoxLinkIsSetUpFromItsTemplate)
{
    AboutTemplateDlg dlg;
    ASSERT_TRUE(dlg.Create());
    HWND hLink = dlg.GetDlgItem(IDC_ABOUT_WEBLINK);
    EXPECT_EQ(hLink, dlg.m_link.m_hWnd);
    EXPECT_STREQ("http://" QUILLMARK_WEB_ADDRESS, dlg.m_link.GetAddress());
    EXPECT_STREQ("Go to " QUILLMARK_WEB_ADDRESS,
                 dlg.m_link.GetToolTip().GetToolText(&dlg.m_link, 1));
    EXPECT_TRUE(DWORD(::GetWindowLongPtrA(hLink, GWL_STYLE)) & SS_NOTIFY);

    // Fitted to its text in the dialog's font, underlined.
    LOGFONTA lf{};
    ASSERT_TRUE(
        CFont::GetLogFont(reinterpret_cast<HFONT>(::SendMessageA(hLink, WM_GETFONT, 0, 0)), &lf));
    EXPECT_FALSE(lf.lfUnderline);
    lf.lfUnderline = TRUE;
    CFont font;
    font.CreateFontIndirect(&lf);
    SIZE ext;
    {
        CClientDC dc(hLink);
        CSelectObject select(dc, font);
        ext = dc.GetTextExtent(QUILLMARK_WEB_ADDRESS, -1);
    }
    RECT rc;
    ::GetClientRect(hLink, &rc);
    EXPECT_EQ(ext.cx, rc.right);
    EXPECT_EQ(ext.cy, rc.bottom);

    // The static's own paint asks the dialog for colours; the dialog hands the request to the link.
    CMemDC dc(nullptr);
    CBitmap bitmap;
    DWORD* pBits = nullptr;
    ASSERT_TRUE(bitmap.CreateDIBSection32(rc.right, rc.bottom, reinterpret_cast<void**>(&pBits)));
    CSelectObject select(dc, bitmap);
    for (int i = 0; i < rc.right * rc.bottom; ++i)
        pBits[i] = 0x00FFFFFF;
    ::SendMessageA(hLink, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), PRF_CLIENT);
    ::GdiFlush();
    int nLinkColoured = 0;
    for (int i = 0; i < rc.right * rc.bottom; ++i)
        nLinkColoured += (pBits[i] == ((52u << 16) | (70u << 8) | 92u));
    EXPECT_GT(nLinkColoured, 10);
    dlg.DestroyWindow();
}

}  // namespace
