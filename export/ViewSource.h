// ViewSource.h
//
// ViewSource: the views of one scope, read in a few round trips and held until they are
// written. A view's text is a LONG (USER_VIEWS.TEXT), which the client fetches without prefetch,
// a round trip a row; since 12.1 its first 4,000 bytes are also TEXT_VC, which prefetches. So:
//   - one query measures every view of the scope (its text's length, flags, name's width);
//   - one prefetched query reads every view of at most 4,000 bytes through TEXT_VC, no wider
//     than the widest measured, and checks each against its measure (a view that grew since
//     ends the run: "the source changed");
//   - each longer view costs one round trip of its own through TEXT, into a buffer sized by its
//     length, so that it is never cut (a text cut all the same grew since it was measured);
//   - one query reads the columns of every view, by COLUMN_ID.
// A database before 12.1 has no TEXT_VC: every view is read through TEXT.
//
// ViewBlock makes a view's statement: CREATE OR REPLACE FORCE [EDITIONING] VIEW "<name>"
// ("<column>", ...) [BEQUEATH CURRENT_USER] AS, a line end, the text as stored.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "db/DBConnect.h"
#include "db/DBStmt.h"
#include "export/SourceQueries.h"
#include "framework/String.h"

struct ViewDefinition {
    int nTextLength = 0;  // TEXT_LENGTH, the database's bytes
    bool bEditioning = false;
    bool bBequeathCurrentUser = false;
    // An object view or XMLType view (TYPE_TEXT or VIEW_TYPE set): not exported.
    bool bTyped = false;
    std::vector<CString> columns;  // by COLUMN_ID, as stored
    CString strText;               // as stored, in the client's set
};

// The statement that recreates a view (without its "/" line).
CString ViewBlock(const CString& strName, const ViewDefinition& view);

class ViewSource {
public:
    ViewSource(DBConnect& connection, const SourceScope& scope)
        : m_connection(connection), m_scope(scope)
    {}

    // Reads the definitions of the listed views (names as stored) into views: the measure, the
    // short texts, the long texts and the columns. A view measured but not listed is passed over;
    // a listed one the database no longer has is missing from views. False with the reason in
    // ErrorText and ErrorCode.
    bool Read(const std::vector<CString>& listed, std::map<CString, ViewDefinition>& views);

    const CString& ErrorText() const { return m_strError; }
    int ErrorCode() const { return m_nErrorCode; }
    // The view the failure concerns, when it concerns one.
    const CString& FailedView() const { return m_strFailedView; }

private:
    bool Measure(std::map<CString, ViewDefinition>& views, int& nNameBytes, int& nShortBytes);
    bool ReadShortTexts(std::map<CString, ViewDefinition>& views, int nNameBytes, int nTextBytes);
    bool ReadLongText(const CString& strName, ViewDefinition& view);
    bool ReadColumns(std::map<CString, ViewDefinition>& views);
    // The statement of strSql, prepared; null with the reason (see Fail) when it could not be.
    std::unique_ptr<DBStmt> Prepare(const CString& strSql, const CString& strView = CString());
    // A statement over the whole scope: fetched in large batches, the scope's values bound.
    void PrefetchAndBind(DBStmt& stmt) const;
    bool Fail(const DBStmt::OtherException& error, const CString& strView = CString());
    bool Changed(const CString& strView);

    DBConnect& m_connection;
    SourceScope m_scope;
    ViewQueries::Release m_release = ViewQueries::Release::k12;
    CString m_strError;
    int m_nErrorCode = 0;
    CString m_strFailedView;
};
