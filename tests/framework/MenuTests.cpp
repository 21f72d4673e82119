// CMenu: ownership of the handle (destroyed with the object unless detached), loading
// a template of the program, and reading item texts.
#include <gtest/gtest.h>

#include <windows.h>
#include "framework/Menu.h"
#include "framework_test_ids.h"

TEST(CMenuTest, CreatesAppendsAndDestroysWithTheObject)
{
    HMENU hMenu = nullptr;
    {
        CMenu menu;
        ASSERT_TRUE(menu.CreatePopupMenu());
        hMenu = menu;
        EXPECT_TRUE(::IsMenu(hMenu));
        EXPECT_TRUE(menu.AppendMenu(MF_STRING, 10, "&First"));
        EXPECT_TRUE(menu.AppendMenu(MF_SEPARATOR));
        EXPECT_TRUE(menu.AppendMenu(MF_STRING | MF_GRAYED, 11, "Second"));
        EXPECT_EQ(3, menu.GetMenuItemCount());
        EXPECT_EQ(10u, menu.GetMenuItemID(0));
        EXPECT_EQ(11u, menu.GetMenuItemID(2));
        EXPECT_TRUE(menu.GetMenuState(11, MF_BYCOMMAND) & MF_GRAYED);

        CString text;
        EXPECT_EQ(6, menu.GetMenuString(10, text, MF_BYCOMMAND));
        EXPECT_EQ("&First", text);
        EXPECT_EQ(6, menu.GetMenuString(2, text, MF_BYPOSITION));
        EXPECT_EQ("Second", text);
        EXPECT_EQ(0, menu.GetMenuString(99, text, MF_BYCOMMAND));
        EXPECT_TRUE(text.IsEmpty());

        EXPECT_TRUE(menu.ModifyMenu(10, MF_BYCOMMAND | MF_STRING, 12, "Renamed"));
        EXPECT_EQ(7, menu.GetMenuString(0, text, MF_BYPOSITION));
        EXPECT_EQ("Renamed", text);
        EXPECT_EQ(12u, menu.GetMenuItemID(0));

        // A second menu is refused while one is owned: nothing leaks.
        EXPECT_FALSE(menu.CreateMenu());
        EXPECT_EQ(hMenu, menu.GetSafeHmenu());
    }
    EXPECT_FALSE(::IsMenu(hMenu));
}

TEST(CMenuTest, DetachedMenuSurvivesTheObject)
{
    HMENU hMenu = nullptr;
    {
        CMenu menu;
        ASSERT_TRUE(menu.CreateMenu());
        hMenu = menu.Detach();
        EXPECT_EQ(nullptr, menu.GetSafeHmenu());
        EXPECT_FALSE(menu.DestroyMenu());
    }
    EXPECT_TRUE(::IsMenu(hMenu));
    CMenu owner;
    EXPECT_TRUE(owner.Attach(hMenu));
    HMENU hOther = ::CreateMenu();
    EXPECT_FALSE(owner.Attach(hOther));  // already owns one
    EXPECT_EQ(hMenu, owner.GetSafeHmenu());
    ::DestroyMenu(hOther);
    EXPECT_TRUE(owner.DestroyMenu());
    EXPECT_FALSE(::IsMenu(hMenu));
    EXPECT_FALSE(owner.Attach(nullptr));
}

TEST(CMenuTest, LoadsTheProgramsTemplate)
{
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDM_FW_TEST));
    EXPECT_EQ(2, menu.GetMenuItemCount());
    CString text;
    menu.GetMenuString(0, text, MF_BYPOSITION);
    EXPECT_EQ("&File", text);
    menu.GetMenuString(ID_FW_ABOUT, text, MF_BYCOMMAND);
    EXPECT_EQ("&About", text);

    HMENU hFile = menu.GetSubMenu(0);
    ASSERT_NE(nullptr, hFile);
    EXPECT_EQ(UINT(ID_FW_OPEN), ::GetMenuItemID(hFile, 0));
    // Command ids are found in sub-menus too.
    menu.GetMenuString(ID_FW_SAVE, text, MF_BYCOMMAND);
    EXPECT_EQ("&Save", text);

    CMenu missing;
    EXPECT_FALSE(missing.LoadMenu(4998));
    EXPECT_EQ(nullptr, missing.GetSafeHmenu());
}
