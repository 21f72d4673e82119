// SourceQueries.h
//
// The SQL of one export: which objects (the listing), how many source lines each has and
// whether any holds an ampersand (the line counts), and every listed object's source in one
// stream. All three read the same scope (the logged-on user's schema, or an owner's through
// the DBA_ views; the job's kinds; optionally one object name) and order by name, then type,
// in the names' byte order, so the listing and the stream agree whatever the client's language.
// Every comparison they make (owner, kinds, name, grouping) is by the bytes, whatever NLS_COMP
// and NLS_SORT the client sets, at no cost of a round trip.
//
// Name filters are Oracle LIKE patterns ("\" escapes the next character), matched by the server
// in every statement, so objects a filter leaves out never travel.
//
// Placeholders: the owner first (":1") when there is one, then the object name, then each
// include pattern, then each exclude pattern.
#pragma once

#include <vector>

#include "framework/String.h"

struct SourceScope {
    // Empty: the user's own schema.
    CString strOwner;
    // Oracle's names of the kinds ("PACKAGE BODY"); empty: the four of the window.
    std::vector<CString> kinds;
    // Null: every object of the kinds.
    const CString* pName = nullptr;
    // An object is in the scope when its name is LIKE any of includes (every object when there
    // is none) and LIKE none of excludes.
    std::vector<CString> includes;
    std::vector<CString> excludes;
};

// The longest name and line of a scope's source, in the database's bytes, as the line counts
// measured them. The source query reads no wider than these, so that the client's prefetch
// buffer, sized by the columns' defined widths, holds many more rows a round trip than at
// VARCHAR2(4000).
struct SourceWidths {
    int nNameBytes = 0;
    int nTextBytes = 0;
};

namespace SourceQueries {

// OBJECT_NAME, OBJECT_TYPE, STATUS of the listed objects.
CString Listing(const SourceScope& scope);
// One row per object, with the columns LineCountRow reads (LineCounts.h): the counts, or the
// characters the lines begin with.
CString LineCounts(const SourceScope& scope);
CString LineStarts(const SourceScope& scope);
// NAME, TYPE, LINE, TEXT of the rows that hold more than one line (a line end before their last
// character), in no order.
CString WrappedRows(const SourceScope& scope);
// NAME, TYPE, TEXT in name, type and line order, name and text no wider than widths, and a
// fourth column that is 1 on a row whose name or text is wider (the source changed since it
// was measured, and that row was cut), else 0. It carries the CURSOR_SHARING_EXACT hint, so
// that a database with CURSOR_SHARING=FORCE keeps the literals that set its columns' widths.
CString Source(const SourceScope& scope, const SourceWidths& widths);

}  // namespace SourceQueries

// The SQL of a scope's views (the scope's kinds aside): their shapes, the texts of the short
// ones in one query, the columns of all in one, and one view's whole text. Placeholders as
// above.
namespace ViewQueries {

// A view whose text is at most this many bytes is whole in TEXT_VC.
constexpr int kShortTextBytes = 4000;

// Which columns the database's *_VIEWS have: BEQUEATH and TEXT_VC came with 12.1, and
// EDITIONING_VIEW with 11.2.
enum class Release { k12, k11, kOlder };

// VIEW_NAME, TEXT_LENGTH, EDITIONING_VIEW, BEQUEATH, 1 for a typed view else 0, LENGTHB(VIEW_NAME).
CString Measure(const SourceScope& scope, Release release);
// Of the views whose text is at most kShortTextBytes, in the names' byte order: the name and
// TEXT_VC no wider than the measured widths, 1 when the name is wider (else 0), TEXT_LENGTH.
CString ShortTexts(const SourceScope& scope, int nNameBytes, int nTextBytes);
// TABLE_NAME, COLUMN_NAME of every view of the scope, by name, then COLUMN_ID.
CString Columns(const SourceScope& scope);
// TEXT (a LONG) of the scope's views; a scope of one name has one row.
CString Text(const SourceScope& scope);

}  // namespace ViewQueries
