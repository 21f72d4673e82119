// DialogTemplate: reads a dialog template resource (DIALOG or DIALOGEX) back into plain
// values, so that tests can compare the compiled templates with what the dialogs expect
// and place controls from the template's own rectangles.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct DialogItem {
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rc{};  // dialog units: left, top, right, bottom
    int id = 0;
    std::string className;  // "Button", "Edit", "Static", "ListBox", ... or the name given
    std::string text;       // "#n" when the template names a resource by number
};

struct DialogTemplate {
    bool extended = false;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rc{};
    std::string caption;
    int pointSize = 0;
    std::string typeface;
    std::vector<DialogItem> items;
};

// Loads and parses template nId of module hModule; false when it is missing or malformed.
bool LoadDialogTemplate(HMODULE hModule, UINT nId, DialogTemplate& out);
