// AppMessageBoxTest.cpp
//
// The program's message box through real windows: the text in the field, the results of Enter
// and Escape, the flat OK button, and two boxes at once on two threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "dialogs/AppMessageBox.h"
#include "tests/export/ExportHarness.h"

using namespace ExportTest;

TEST(AppMessageBoxTest, NullAndEmptyTextShowAnEmptyField)
{
    LogWindow::Instance();
    MessageBoxWatcher boxes;
    EXPECT_EQ(ShowAppMessage(nullptr), IDOK);
    EXPECT_EQ(ShowAppMessage(""), IDOK);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"", ""}));
    EXPECT_TRUE(boxes.AllOkButtonsOwnerDrawn());
}

TEST(AppMessageBoxTest, LineFeedsBecomeLineBreaksOfTheField)
{
    LogWindow::Instance();
    int nLineCount = 0;
    MessageBoxWatcher boxes([&](HWND hBox, const std::string&) {
        if (nLineCount == 0)
            nLineCount = int(::SendMessageA(::GetDlgItem(hBox, 1032), EM_GETLINECOUNT, 0, 0));
    });
    ShowAppMessage("Unable to open hyperlink:\n\nThe DDE transaction failed.");
    ShowAppMessage("Invalid file name.");
    ShowAppMessage("a\r\nb");
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{
                                 "Unable to open hyperlink:\r\n\r\nThe DDE transaction failed.",
                                 "Invalid file name.", "a\r\r\nb"}));
    EXPECT_EQ(nLineCount, 3);
    // The shared text holds the last message only.
    EXPECT_EQ(std::string(g_strAppMessage), "a\r\r\nb");
}

TEST(AppMessageBoxTest, EnterClosesWithOkAndEscapeWithCancel)
{
    LogWindow::Instance();
    {
        MessageBoxWatcher boxes(nullptr, {MessageBoxWatcher::CloseWith::Enter});
        EXPECT_EQ(ShowAppMessage("Press Enter"), IDOK);
    }
    {
        MessageBoxWatcher boxes(nullptr, {MessageBoxWatcher::CloseWith::Escape});
        EXPECT_EQ(ShowAppMessage("Press Escape"), IDCANCEL);
    }
}

TEST(AppMessageBoxTest, TwoBoxesOnTwoThreadsKeepTheirOwnTexts)
{
    LogWindow::Instance();
    MessageBoxWatcher boxes(nullptr, {MessageBoxWatcher::CloseWith::Ok, 2});
    int nWorkerResult = 0;
    std::thread worker([&] { nWorkerResult = ShowAppMessage("from the worker thread"); });
    // Give the worker's box a head start, so both texts pass through g_strAppMessage.
    ::Sleep(100);
    const int nResult = ShowAppMessage("from the window thread");
    worker.join();
    EXPECT_EQ(nResult, IDOK);
    EXPECT_EQ(nWorkerResult, IDOK);
    auto texts = boxes.Texts();
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts,
              (std::vector<std::string>{"from the window thread", "from the worker thread"}));
}

TEST(AppMessageBoxTest, BoxBuiltWithoutATextShowsTheSharedText)
{
    LogWindow::Instance();
    g_strAppMessage = "shared\r\ntext";
    AppMessageBoxDlg dlg(nullptr);
    EXPECT_EQ(std::string(dlg.m_strText), "shared\r\ntext");
}
