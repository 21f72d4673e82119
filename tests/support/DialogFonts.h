// The fonts the program's dialogs, menus and controls are laid out and drawn with, and a
// check that the Wine prefix has them. Wine does not look in /usr/share/wine/fonts on its
// own: a prefix without copies of fonts-wine's files lays every dialog out with a wider
// substitute (DejaVu Sans here), and the layout and pixel tests then fail with numbers
// that name no cause. The check names it instead.
//  - DialogFace: one face, the file fonts-wine ships it in, and what uses it;
//  - ChosenFace / IsEnumerated: what GDI really gives for a face name;
//  - CheckFaces / CheckDialogFonts: "" when every face is there, else what to do.
// DialogFontsEnvironment.cpp, compiled into each test program that lays out dialogs or
// compares pixels, stops that program before its first test when a face is missing.
#pragma once

#include <cstddef>
#include <string>

namespace TestFonts {

struct DialogFace {
    const char* pszName;  // the family name the templates and system metrics ask for
    const char* pszFile;  // its file in /usr/share/wine/fonts (package fonts-wine)
    const char* pszUse;   // what is laid out or drawn with it
};

// The faces: MS Sans Serif (the main window, picker and About templates), Tahoma (what
// "MS Shell Dlg", the GUI font and the menu font resolve to) and Marlett (caption
// buttons, check marks and arrows drawn by the system).
extern const DialogFace kDialogFaces[3];

// The family name GDI selects when asked for pszName: pszName itself when it is
// installed (or is an alias of an installed font), else the substitute's name.
std::string ChosenFace(const char* pszName);
// Whether a font family is enumerated under exactly this name; an alias such as
// "MS Shell Dlg" is not, so a face that ChosenFace answers by name alone is not proven.
bool IsEnumerated(const char* pszName);
// Whether fonts-wine's file of the face is on this machine (seen through Wine's Z:).
bool IsPackaged(const DialogFace& face);

// The message for one missing face: what GDI chose instead, and either "install
// fonts-wine" (bPackaged false) or how to copy the package's files into the prefix.
std::string MissingFaceMessage(const DialogFace& face, const std::string& strChosen,
                               bool bPackaged);
// "" when each of the nFaces faces is installed in the prefix; else one message line each.
std::string CheckFaces(const DialogFace* pFaces, size_t nFaces);
// CheckFaces over kDialogFaces.
std::string CheckDialogFonts();

}  // namespace TestFonts
