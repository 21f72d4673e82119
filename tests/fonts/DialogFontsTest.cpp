// The Wine prefix's fonts, checked on their own before the programs that depend on them
// run (CTest runs this first: the other tests that lay out dialogs require its fixture),
// and the check itself: an absent face is reported by name with what to do.
#include "support/DialogFonts.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <iterator>
#include <string>

namespace {

using TestFonts::DialogFace;

const DialogFace kAbsentFace = {"Quillmark Absent Face", "quillmark-absent-face.ttf", "nothing"};

TEST(DialogFontsTest, PrefixHasEveryFaceTheDialogsUse)
{
    const std::string strReport = TestFonts::CheckDialogFonts();
    EXPECT_TRUE(strReport.empty()) << strReport;
}

TEST(DialogFontsTest, AnAbsentFaceIsReportedWithWhatToInstall)
{
    EXPECT_FALSE(TestFonts::IsEnumerated(kAbsentFace.pszName));
    EXPECT_FALSE(TestFonts::IsPackaged(kAbsentFace));
    const std::string strChosen = TestFonts::ChosenFace(kAbsentFace.pszName);
    EXPECT_FALSE(strChosen.empty()) << "GDI always chooses some face";
    const std::string strReport = TestFonts::CheckFaces(&kAbsentFace, 1);
    EXPECT_EQ(0u, strReport.find("Quillmark Absent Face not found in the Wine prefix (GDI chose " +
                                 strChosen + " instead)"))
        << strReport;
    EXPECT_NE(std::string::npos, strReport.find("Install fonts-wine")) << strReport;
    EXPECT_EQ('\n', strReport.back());
}

TEST(DialogFontsTest, OnlyTheMissingFacesAreReported)
{
    if (!TestFonts::CheckDialogFonts().empty())
        GTEST_SKIP() << "the prefix lacks faces (PrefixHasEveryFaceTheDialogsUse says which)";
    const DialogFace faces[] = {TestFonts::kDialogFaces[1], kAbsentFace,
                                TestFonts::kDialogFaces[2]};
    const std::string strReport = TestFonts::CheckFaces(faces, std::size(faces));
    EXPECT_NE(std::string::npos, strReport.find("Quillmark Absent Face"));
    EXPECT_EQ(std::string::npos, strReport.find("Tahoma")) << strReport;
    EXPECT_EQ(std::string::npos, strReport.find("Marlett")) << strReport;
}

// "MS Shell Dlg" is only an alias (of Tahoma): GDI answers a font by that name with the
// name itself, so the name GDI chose alone cannot tell an installed face.
TEST(DialogFontsTest, AnAliasIsNotTakenForAnInstalledFace)
{
    EXPECT_FALSE(TestFonts::IsEnumerated("MS Shell Dlg"));
}

TEST(DialogFontsTest, PackagedButUncopiedFaceSaysHowToCopyIt)
{
    const DialogFace& tahoma = TestFonts::kDialogFaces[1];
    const std::string strCopy = TestFonts::MissingFaceMessage(tahoma, "DejaVu Sans", true);
    EXPECT_EQ("Tahoma not found in the Wine prefix (GDI chose DejaVu Sans instead); it lays out MS "
              "Shell Dlg, "
              "the GUI font and the menu font. /usr/share/wine/fonts/tahoma.ttf is there but not "
              "in the prefix: "
              "copy /usr/share/wine/fonts/* into $WINEPREFIX/drive_c/windows/Fonts (scripts/env.sh "
              "qm_wine_prefix does).",
              strCopy);
    const std::string strInstall = TestFonts::MissingFaceMessage(tahoma, "DejaVu Sans", false);
    EXPECT_EQ("Tahoma not found in the Wine prefix (GDI chose DejaVu Sans instead); it lays out MS "
              "Shell Dlg, "
              "the GUI font and the menu font. Install fonts-wine (scripts/install-deps.sh does), "
              "which ships "
              "tahoma.ttf, then run scripts/test again.",
              strInstall);
}

TEST(DialogFontsTest, EveryFaceShipsWithFontsWine)
{
    for (const DialogFace& face : TestFonts::kDialogFaces)
        EXPECT_TRUE(TestFonts::IsPackaged(face)) << "/usr/share/wine/fonts/" << face.pszFile;
}

}  // namespace
