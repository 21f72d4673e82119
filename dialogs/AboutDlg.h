// CAboutDlg: the About box opened from the main window's system menu. It names the
// program and its version, shows the emblem and the maker's name, and binds the maker's
// web address to a hyperlink control, which opens it when clicked.
#pragma once

#include "framework/Dialog.h"
#include "controls/FlatButton.h"
#include "controls/HyperLink.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
    ~CAboutDlg() override;

    CHyperLink m_link;
    CFlatButton m_btnOk;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
};
