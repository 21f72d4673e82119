// AppMessageBox.h
//
// AppMessageBoxDlg: the program's own modal message box (template 133): the emblem, the text
// in a read-only multi-line field and one flat OK button. ShowAppMessage is the one way every
// part of the program shows a message, on the window thread and on the export worker's thread.
//
// Each box takes its own copy of its text, so boxes raised at the same moment on two threads
// never show each other's text. g_strAppMessage still holds the text of the last box raised.
#pragma once

#include "controls/FlatButton.h"
#include "framework/Dialog.h"
#include "framework/String.h"

// The text of the last message raised (line feeds already turned into "\r\n").
extern CString g_strAppMessage;

class AppMessageBoxDlg : public CDialog {
public:
    // Shows g_strAppMessage as it is at construction.
    explicit AppMessageBoxDlg(CWnd* pParent = nullptr);
    AppMessageBoxDlg(const CString& strText, CWnd* pParent);

    CFlatButton m_btnOk;
    CString m_strText;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};

// Shows text (null counts as empty) with each "\n" turned into "\r\n", and returns when the box
// is closed: IDOK (OK or Enter), IDCANCEL (Escape or the close box), or -1 when the box could
// not be created.
int ShowAppMessage(const char* text);
