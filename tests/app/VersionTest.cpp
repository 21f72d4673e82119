// The version information and the manifest of quillmark.exe, read back from the file the
// way Explorer and the loader read them.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "QuillmarkExe.h"

namespace {

class VersionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string path = QuillmarkExePath();
        DWORD handle = 0;
        const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
        ASSERT_GT(size, 0u) << path;
        m_data.resize(size);
        ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, m_data.data()));
    }

    std::string String(const char* name)
    {
        char* value = nullptr;
        UINT len = 0;
        const std::string key = std::string("\\StringFileInfo\\040904e4\\") + name;
        if (!::VerQueryValueA(m_data.data(), key.c_str(), reinterpret_cast<void**>(&value), &len) ||
            !value)
            return "<missing>";
        return value;
    }

    std::vector<char> m_data;
};

TEST_F(VersionTest, FixedVersionIs2700)
{
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    ASSERT_TRUE(::VerQueryValueA(m_data.data(), "\\", reinterpret_cast<void**>(&info), &len));
    ASSERT_GE(len, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(info->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(info->dwFileVersionMS, 0x00020007u);
    EXPECT_EQ(info->dwFileVersionLS, 0u);
    EXPECT_EQ(info->dwProductVersionMS, 0x00020007u);
    EXPECT_EQ(info->dwProductVersionLS, 0u);
    EXPECT_EQ(info->dwFileType, DWORD(VFT_APP));
}

TEST_F(VersionTest, TranslationIsUsEnglishWindowsLatin1)
{
    WORD* pair = nullptr;
    UINT len = 0;
    ASSERT_TRUE(::VerQueryValueA(m_data.data(), "\\VarFileInfo\\Translation",
                                 reinterpret_cast<void**>(&pair), &len));
    ASSERT_GE(len, 4u);
    EXPECT_EQ(pair[0], 0x0409);
    EXPECT_EQ(pair[1], 1252);
}

TEST_F(VersionTest, StringsNameTheProgram)
{
    EXPECT_EQ(String("FileDescription"), "quillmark MFC Application");
    EXPECT_EQ(String("FileVersion"), "2, 7, 0, 0");
    EXPECT_EQ(String("InternalName"), "Quillmark");
    EXPECT_EQ(String("OriginalFilename"), "Quillmark.EXE");
    EXPECT_EQ(String("ProductName"), "Quillmark Application");
    EXPECT_EQ(String("ProductVersion"), "2, 7, 0, 0");
}

// The manifest asks for the invoker's rights and names no common-controls version, so
// the controls keep their classic look.
TEST(Manifest, AsInvokerWithoutCommonControlsDependency)
{
    HMODULE hExe = ::LoadLibraryExA(QuillmarkExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(hExe, nullptr);
    HRSRC hRes = ::FindResourceA(hExe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24) /* RT_MANIFEST */);
    ASSERT_NE(hRes, nullptr);
    const char* p = static_cast<const char*>(::LockResource(::LoadResource(hExe, hRes)));
    const std::string manifest(p, ::SizeofResource(hExe, hRes));
    ::FreeLibrary(hExe);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos);
    EXPECT_EQ(manifest.find("Common-Controls"), std::string::npos);
    EXPECT_EQ(manifest.find("dependency"), std::string::npos);
}

// The program itself carries the icon and the string that its main dialog loads.
TEST(ExeResources, IconAndAboutString)
{
    HMODULE hExe = ::LoadLibraryExA(QuillmarkExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(hExe, nullptr);
    EXPECT_NE(
        ::FindResourceA(hExe, MAKEINTRESOURCEA(128), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */),
        nullptr);
    EXPECT_NE(::FindResourceA(hExe, MAKEINTRESOURCEA(102), MAKEINTRESOURCEA(5) /* RT_DIALOG */),
              nullptr);
    char text[64] = {};
    EXPECT_GT(::LoadStringA(hExe, 101, text, sizeof(text)), 0);
    EXPECT_STREQ(text, "&About quillmark...");
    ::FreeLibrary(hExe);
}

}  // namespace
