// Compiled into each test program that lays out dialogs or compares pixels: before the
// first test, the Wine prefix must have the faces the dialogs use. When one is missing
// the program stops with that one message instead of a page of pixel mismatches.
#include "DialogFonts.h"

#include <gtest/gtest.h>

namespace {

class DialogFontsEnvironment : public ::testing::Environment {
public:
    // Runs once, before the first test of the program; a failure here skips them all.
    void SetUp() override
    {
        const std::string strReport = TestFonts::CheckDialogFonts();
        if (!strReport.empty())
            FAIL() << strReport
                   << "This program's tests lay out dialogs or compare pixels with these fonts; "
                      "none was run.";
    }
};

::testing::Environment* const g_pFontsEnvironment =
    ::testing::AddGlobalTestEnvironment(new DialogFontsEnvironment);

}  // namespace
