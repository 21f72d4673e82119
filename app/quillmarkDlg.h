// CquillmarkDlg: the program's main dialog (template 102), run modally by the
// application object; closing it ends the program. It takes the connection
// parameters, the choice between one object and all objects, the object name and the
// output file; Start copies them into the job record and starts the export worker,
// whose log lines and progress arrive as the two registered messages. While a job runs
// the Start button reads "Stop" and the parameter controls are disabled.
#pragma once

#include "framework/DlgLayout.h"
#include "app/LogList.h"
#include "controls/FlatButton.h"
#include "controls/HyperLink.h"
#include "controls/RoundButton.h"
#include "app/ReportQueue.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Thread.h"
#include "res/resource.h"

class CquillmarkDlg : public CDialog {
public:
    explicit CquillmarkDlg(CWnd* pParent = nullptr);
    ~CquillmarkDlg() override;

    // The file name the browse button proposes for an object name: name and ".sql" in
    // lower case, cut to what the file dialog's 260-character buffer holds. UTF-8, as the
    // fields' strings are.
    static CString ProposedFileName(const CString& strObjectName);
    // The object a job exports for what the name field shows: the picked object exactly as
    // stored while the field shows what the picker put there, otherwise the typed name (which
    // the field upper-cases as it is typed, as Oracle folds unquoted names).
    CString ExportedObjectName() const;
    // Size of the file dialog's name buffer, the terminating zero included.
    static constexpr int kFileNameBufferSize = MAX_PATH;

    // Whether the Start button currently reads "Stop" (a job runs).
    bool IsRunning() const;
    // How the dialog starts its threads (the worker, a break, the picker's listing);
    // StartThread unless a test says otherwise.
    void SetThreadStarter(ThreadStarter startThread) { m_startThread = std::move(startThread); }

    CEdit m_editObjectName;
    CEdit m_editPassword;
    CEdit m_editDatabase;
    CEdit m_editUser;
    CEdit m_editFileName;
    CHyperLink m_linkWeb;
    CProgressCtrl m_progressTotal;
    CButton m_btnPick;
    CProgressCtrl m_progressObject;
    CListBox m_listLog;
    CButton m_btnBrowse;
    CString m_strFileName;
    CString m_strUser;
    CString m_strObjectName;
    CString m_strPassword;
    CString m_strDatabase;
    CRoundCheckBox m_chkSysdba;
    CRoundRadioButton m_radioOne;
    CRoundRadioButton m_radioAll;
    CStatic m_grpConnect;
    CStatic m_grpFrame;
    CStatic m_stcMaker;
    CString m_strSavedObjectName;
    // The picker's last choice exactly as stored, and the text the name field showed for it.
    CString m_strPickedName;
    CString m_strPickedShown;
    CDlgLayout m_layout;
    HICON m_hIcon = nullptr;
    CFlatButton m_btnStart;
    CFlatButton m_btnCancel;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnSize(int cx, int cy);
    void OnBrowse();
    void OnPickObject();
    void OnOneObject();
    void OnAllObjects();
    LRESULT OnAddStrMessage(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR nIDEvent);

    // Takes everything the worker queued: the lines into the log, the newest progress into
    // the bars, and the job's end back to idle.
    void DrainReports();

    // Start: checks the fields, fills the job record and starts the worker.
    void StartJob();
    // Stop: ends the worker and returns to idle.
    void StopJob();
    // Button text "Start" and the parameter controls enabled again.
    void ReturnToIdle();
    // Enables or disables the parameter controls; the object name field and the picker
    // button are enabled only in one-object mode.
    void EnableParameters(BOOL bEnable);
    // Puts the object name (UTF-8) into the job record: exactly, and as the field shows it.
    static void StoreObjectName(const CString& strName);

    CLogList m_log{m_listLog};
    ThreadStarter m_startThread = StartThread;
    // The batch the dialog takes from the queue; its storage is reused from batch to batch.
    ReportBatch m_batch;
};
