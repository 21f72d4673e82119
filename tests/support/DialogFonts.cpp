#include "DialogFonts.h"

#include <windows.h>

#include <cstring>
#include <iterator>

namespace TestFonts {

const DialogFace kDialogFaces[3] = {
    {"MS Sans Serif", "sserife.fon", "the main window, picker and About box templates"},
    {"Tahoma", "tahoma.ttf", "MS Shell Dlg, the GUI font and the menu font"},
    {"Marlett", "marlett.ttf", "caption buttons, check marks and arrows"},
};

namespace {

// A screen-compatible memory DC for the queries, deleted on scope exit.
class QueryDC {
public:
    QueryDC() : m_hDC(::CreateCompatibleDC(nullptr)) {}
    ~QueryDC()
    {
        if (m_hDC)
            ::DeleteDC(m_hDC);
    }
    QueryDC(const QueryDC&) = delete;
    QueryDC& operator=(const QueryDC&) = delete;
    HDC get() const { return m_hDC; }

private:
    HDC m_hDC;
};

LOGFONTA FontNamed(const char* pszName)
{
    LOGFONTA lf{};
    lf.lfHeight = -11;  // 8 points at 96 dots per inch, as the dialogs ask
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(lf.lfFaceName, pszName, LF_FACESIZE);
    return lf;
}

struct EnumSearch {
    const char* pszName;
    bool bFound;
};

// Called by EnumFontFamiliesExA once for each family (and character set) installed.
int CALLBACK MatchFamily(const LOGFONTA* plf, const TEXTMETRICA*, DWORD, LPARAM lParam)
{
    EnumSearch* pSearch = reinterpret_cast<EnumSearch*>(lParam);
    if (lstrcmpiA(plf->lfFaceName, pSearch->pszName) == 0) {
        pSearch->bFound = true;
        return 0;
    }
    return 1;
}

}  // namespace

std::string ChosenFace(const char* pszName)
{
    QueryDC dc;
    const LOGFONTA lf = FontNamed(pszName);
    HFONT hFont = ::CreateFontIndirectA(&lf);
    if (!dc.get() || !hFont) {
        if (hFont)
            ::DeleteObject(hFont);
        return std::string();
    }
    HGDIOBJ hOld = ::SelectObject(dc.get(), hFont);
    char szFace[LF_FACESIZE] = {};
    ::GetTextFaceA(dc.get(), LF_FACESIZE, szFace);
    ::SelectObject(dc.get(), hOld);
    ::DeleteObject(hFont);
    return szFace;
}

bool IsEnumerated(const char* pszName)
{
    QueryDC dc;
    if (!dc.get())
        return false;
    // Every family, not those matching the name: asked by name, an alias enumerates the
    // font it stands for under the alias's own name.
    LOGFONTA lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    EnumSearch search{pszName, false};
    ::EnumFontFamiliesExA(dc.get(), &lf, MatchFamily, reinterpret_cast<LPARAM>(&search), 0);
    return search.bFound;
}

bool IsPackaged(const DialogFace& face)
{
    const std::string strPath = std::string("Z:\\usr\\share\\wine\\fonts\\") + face.pszFile;
    return ::GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string MissingFaceMessage(const DialogFace& face, const std::string& strChosen, bool bPackaged)
{
    std::string strText = std::string(face.pszName) + " not found in the Wine prefix";
    if (!strChosen.empty() && lstrcmpiA(strChosen.c_str(), face.pszName) != 0)
        strText += " (GDI chose " + strChosen + " instead)";
    strText += "; it lays out " + std::string(face.pszUse) + ". ";
    if (bPackaged)
        strText += std::string("/usr/share/wine/fonts/") + face.pszFile +
                   " is there but not in the prefix: copy /usr/share/wine/fonts/* into "
                   "$WINEPREFIX/drive_c/windows/Fonts (scripts/env.sh qm_wine_prefix does).";
    else
        strText += std::string("Install fonts-wine (scripts/install-deps.sh does), which ships ") +
                   face.pszFile + ", then run scripts/test again.";
    return strText;
}

std::string CheckFaces(const DialogFace* pFaces, size_t nFaces)
{
    std::string strReport;
    for (size_t i = 0; i < nFaces; ++i) {
        const DialogFace& face = pFaces[i];
        const std::string strChosen = ChosenFace(face.pszName);
        if (IsEnumerated(face.pszName) && lstrcmpiA(strChosen.c_str(), face.pszName) == 0)
            continue;
        strReport += MissingFaceMessage(face, strChosen, IsPackaged(face)) + "\n";
    }
    return strReport;
}

std::string CheckDialogFonts()
{
    return CheckFaces(kDialogFaces, std::size(kDialogFaces));
}

}  // namespace TestFonts
