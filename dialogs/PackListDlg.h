// CPackListDlg: the modal "Select Object" dialog. It logs on by itself with the
// connection parameters of the job record, lists the user's packages, procedures and
// functions as "NAME [TYPE]", selects the first entry whose text begins with what the
// user types into the find box, and hands the chosen name back in the job record's
// object name (a single blank when nothing was chosen).
#pragma once

#include <vector>

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "controls/FlatButton.h"
#include "framework/DlgLayout.h"

class DBConnect;

class CPackListDlg : public CDialog {
public:
    explicit CPackListDlg(CWnd* pParent = nullptr);
    ~CPackListDlg() override;

    // How many fetch failures in a row (other than the end of the rows) end the loading.
    static constexpr int kMaxFetchFailures = 3;

    // The list entry for an object: "NAME [TYPE]".
    static CString MakeEntry(const char* pszName, const char* pszType);
    // The object name of a list entry: the entry without the " [TYPE]" that MakeEntry
    // appended at its end; anything else in the name stays as it is.
    static CString NameFromEntry(const CString& strEntry);

    CListBox m_listObjects;
    CFlatButton m_btnOk;
    CFlatButton m_btnCancel;
    CStatic m_grpObjects;
    CStatic m_stcFind;
    CEdit m_editFind;
    CString m_strSelected;
    CString m_strFind;
    CDlgLayout m_layout;
    // The listed objects' names exactly as stored (UTF-8), by the item data of their entries.
    std::vector<CString> m_names;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnFindChange();
    void OnSize(int cx, int cy);
    // Fills the list from the database on the open connection; false when the
    // statement could not be set up (its text has been shown).
    bool LoadObjects(DBConnect& connection);
    // Writes the result into the job record's object name, at most 128 characters.
    static void StoreResult(const char* pszName);

    // Set once the list is loaded, so that the find box's changes during the first data
    // exchange do not search an empty list.
    bool m_bLoaded = false;
};
