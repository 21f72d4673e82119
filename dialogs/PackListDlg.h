// CPackListDlg: the modal "Select Object" dialog. It opens at once; a thread of its own logs
// on with the connection parameters of the job record and lists the objects an export would
// find, while the list shows that it is listing (OK and the find box are disabled until the
// listing arrives). The objects are shown as "NAME [TYPE]" in the export's order, a package
// once (its body goes with it). The find box selects the first entry whose text begins with
// what the user types. The chosen name goes back in the job record's object name, and the
// dialog ends with IDOK only then; nothing chosen leaves the name empty. Cancel or the close
// box while the listing runs breaks the call it waits in and closes at once.
#pragma once

#include <memory>
#include <vector>

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "controls/FlatButton.h"
#include "framework/DlgLayout.h"

#include "export/ExportEngine.h"
#include "framework/Thread.h"

class PickerListing;

class CPackListDlg : public CDialog {
public:
    explicit CPackListDlg(CWnd* pParent = nullptr);
    ~CPackListDlg() override;

    // What the list shows while the listing runs.
    static constexpr const char kListingText[] = "Listing the objects...";
    // Posted by the listing's thread when it is done.
    static constexpr UINT kListedMessage = WM_APP + 1;

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

    // Whether the listing is still under way.
    bool IsListing() const { return m_listing != nullptr; }
    // How the dialog starts its threads (the listing's, a break's); StartThread unless a test
    // says otherwise. Set before the dialog is created.
    void SetThreadStarter(ThreadStarter startThread) { m_startThread = std::move(startThread); }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnFindChange();
    void OnSize(int cx, int cy);
    // The listing arrived: the list is filled, or the picker closes after a failed logon.
    void OnListed();
    // Fills the list: one entry per object, a package's body folded into its specification.
    void FillList(const std::vector<ExportObjectId>& objects);
    // Lets a listing still under way go (its call broken).
    void AbandonListing();
    // Writes the result into the job record's object name, at most 128 characters.
    static void StoreResult(const char* pszName);

    // Set once the list is loaded, so that the find box's changes during the first data
    // exchange do not search an empty list.
    bool m_bLoaded = false;
    std::shared_ptr<PickerListing> m_listing;
    ThreadStarter m_startThread = StartThread;
};
