// ExportEngine.h
//
// The export itself, for every front end (the main window and the console exporter):
//   ExportParams    - one job's parameters, handed to the run as one value.
//   ExportObjectId  - one object of the listing: name and type as stored.
//   ExportFailure   - what a sink says when it cannot go on: the program's fixed text and the
//                     lines under it (the path, the system's reason).
//   ExportSink      - where the blocks go: one .sql file (OutputFile below), or a folder of
//                     files (the console exporter's). The run asks it to check the target
//                     before the logon and hands it each object's complete block.
//   ExportReporter  - how the run reports: log lines, source text, progress, a message the
//                     user must see, the end of the run; and whether it is to go on (Stop).
//   ExportEnding    - how a run ended (result, what failed, where, what the target holds,
//                     error number), for each front end to render and map to an exit code.
//   RunExport       - one run on the calling thread, from the logon to the last block.
//   ListExportObjects - the listing alone, as a run makes it (for the window's object picker).
//
// The run logs on, lists the objects (by name, then type, in the names' byte order, so a
// package's specification comes before its body), reads the source of every listed object in
// one stream and hands the sink one "CREATE OR REPLACE " block per object, ending with a "/"
// line unless the block's last non-blank line is a "/" alone.
//
// Text: names reach the sink and the reporter in UTF-8 (the session's set). A block reaches
// the sink in the client's own character set (what its NLS_LANG names), converted by the client
// itself, so that the client's SQL*Plus reads the file as it was stored; a character that set
// cannot hold ends the run rather than turning into "?". A US7ASCII client (NLS_LANG set
// nowhere) gets UTF-8, and a warning when the file holds anything beyond ASCII.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/DBInterrupt.h"
#include "export/SqlPlusLines.h"
#include "framework/String.h"

struct ExportParams {
    // "/" with an empty password: an external logon (DBConnect::IsExternalLogon).
    CString strUser;
    CString strPassword;
    CString strDatabase;
    bool bSysdba = false;
    // Empty: every package, package body, procedure and function of the schema. Otherwise
    // each named object in turn, as stored (the comparison is exact); a name given twice is
    // exported once.
    std::vector<CString> objectNames;
    // The kinds of stored code to export, as Oracle names them ("PACKAGE", "PACKAGE BODY",
    // "PROCEDURE", "FUNCTION", "TYPE", "TYPE BODY", "TRIGGER"). Empty: DefaultExportKinds().
    std::vector<CString> kinds;
    // Whose objects: empty for the logged-on user's own (the USER_ views); otherwise the
    // owner's name as stored, read through the DBA_ views.
    CString strOwner;
    // Name filters, Oracle LIKE patterns with "\" as the escape character, matched against the
    // names as stored: an object is exported when its name matches any include (every object
    // when there is none) and no exclude.
    std::vector<CString> includePatterns;
    std::vector<CString> excludePatterns;
    // Files in UTF-8 whatever the client's character set (otherwise in its code page).
    bool bUtf8Files = false;
    // Lets another thread end the call the run is waiting in (Stop, Ctrl+C); may be null.
    std::shared_ptr<DBInterrupt> interrupt;
};

struct ExportObjectId {
    CString strName;
    CString strType;
    // The listing said STATUS = 'INVALID'.
    bool bInvalid = false;
};

struct ExportFailure {
    // The program's fixed text ("Error while write specified file.").
    CString strText;
    // The lines under it: the path, the system's reason.
    std::vector<CString> details;
};

enum class ExportResult {
    Done,             // every block written
    Stopped,          // the reporter said stop; nothing more was written or reported
    TargetRejected,   // the output path cannot be written (found before the logon)
    LogonFailed,      // the logon failed (ExportEnding::nErrorCode -1: no client library)
    ListingFailed,    // the object list could not be read, or held a name that did not fit
    NothingToExport,  // "Object not found."
    NoSource,         // an object without source lines
    FetchFailed,      // a statement failed while reading an object
    WriteFailed,      // a block could not be written
    Unwritable,       // a character of the source has no place in the file's character set
    Unexpected,       // the program failed in a way it has no message of its own for
};

// How a run ended: one value, which each front end renders in its own way.
struct ExportEnding {
    ExportResult result = ExportResult::Done;
    // What failed: the program's fixed text or the database's own ("Source doesn't exists.");
    // empty for a run that was done or stopped.
    CString strText;
    // Which object the failure concerns ("EMP_API (PACKAGE BODY)"), or the name that matched
    // nothing among several; empty when none.
    CString strWhere;
    // What the target holds now ("The file holds the 2 complete objects before it."), when the
    // ending says it; empty otherwise.
    CString strTargetState;
    // Further lines: the path and the system's reason of a target's failure, the name that
    // did not fit.
    std::vector<CString> details;
    // The database's error number of a failed logon or statement (-1: no client library).
    int nErrorCode = 0;
    // Blocks the sink holds from this run.
    int nObjectsWritten = 0;
    int nObjectCount = 0;
    // For a run that was done: the exported objects the database holds as invalid, in the
    // listing's order.
    std::vector<ExportObjectId> invalidObjects;
    // For a run that was done: files were written in UTF-8 (bUtf8Files) with characters beyond
    // ASCII for a client whose character set is neither UTF-8 nor US7ASCII, so SQL*Plus must
    // run them with a UTF-8 NLS_LANG.
    bool bNeedsUtf8Client = false;

    bool Failed() const { return result != ExportResult::Done && result != ExportResult::Stopped; }
    // The lines the user is shown for a failure: the text; "<where>. <target state>" (or the
    // where alone); the details. A failed logon shows the database's text alone.
    std::vector<CString> MessageLines() const;
    // The same lines joined with "\n".
    CString MessageText() const;
    // What every front end says after the message of a failed logon ("Error while connect to
    // specified database") or of a name that matched nothing among several ("<name>: Object
    // not found."); empty for every other ending.
    std::vector<CString> ClosingLines() const;
};

class ExportSink {
public:
    virtual ~ExportSink() = default;
    // Before the logon: whether the target can be written, without creating or changing anything.
    // False with the failure's texts.
    virtual bool Check(ExportFailure& failure) = 0;
    // Once the object list is known, before the first block: a sink that names its files after
    // the objects can settle every name first.
    virtual void Listed(const std::vector<ExportObjectId>& objects) {}
    // Whether the sink names its files after every object of the schema in the run's kinds,
    // not only the objects the run exports (a folder's case twins). It is then told them
    // (SchemaListed) before Listed: the run's own list when it exports the whole schema, else
    // one more listing of the schema.
    virtual bool WantsSchemaListing() const { return false; }
    virtual void SchemaListed(const std::vector<ExportObjectId>& schemaObjects) {}
    // Before the first block: what the job's lines hold that SQL*Plus would read as its own
    // (SqlPlusLines.h); a single file then begins with the SET lines they need.
    virtual void JobNeeds(const SqlPlusNeeds& needs) {}
    // The SET lines the target's top was given before the first block (JobNeeds), which every
    // line of the source read afterwards must keep to; null for a sink that fits its SET lines
    // to the blocks as written (a folder's install.sql).
    virtual const SqlPlusSettings* Head() const { return nullptr; }
    // After Listed, before JobNeeds: whether the target also runs lines of other jobs that begin
    // with "#" (a folder's files this run does not write), so that its SET SQLPREFIX must miss
    // the first characters of this job's lines too, though none of them begins with "#".
    virtual bool RunsOtherHashLines() { return false; }
    // After JobNeeds: false, with the failure's texts, when the target cannot be made safe for
    // the job's lines (a folder's install.sql over its files and this job's); the run then
    // ends before its first block.
    virtual bool AcceptsNeeds(const SqlPlusNeeds& jobNeeds, ExportFailure& failure) { return true; }
    // Once per object with its complete block (the bytes of the .sql text). False with the
    // failure's texts; the run then ends.
    virtual bool Write(const ExportObjectId& object, const CString& strBlock,
                       ExportFailure& failure) = 0;
    // How the run hands every block on: in pieces that each end at a line end (one piece for a
    // block under a megabyte), bLast with its last, with nothing but reading the source
    // between them. The block counts as written once its last piece is. False with the
    // failure's texts; the run then ends (the sink has given the block up itself). This one
    // gathers the pieces and hands the whole block to Write; a sink that need not hold a large
    // block whole takes the pieces itself.
    virtual bool WritePiece(const ExportObjectId& object, const CString& strPiece, bool bLast,
                            ExportFailure& failure);
    // The block of the pieces written so far ends unwritten (a stop, a failure while reading
    // it): the target is left as it was before its first piece.
    virtual void AbandonBlock() { m_strGathered.Empty(); }
    // After the last block, and only for a run that wrote every object.
    virtual bool Complete(ExportFailure& failure) { return true; }
    // What the target holds now, for the messages of a failed run, e.g. "The file holds the
    // 2 complete objects before it." or "The file was not changed.".
    virtual CString StateText() const = 0;
    // Blocks written by this run.
    virtual int WrittenCount() const = 0;

private:
    // The pieces of the block on its way to Write.
    CString m_strGathered;
};

class ExportReporter {
public:
    virtual ~ExportReporter() = default;
    // Asked before each object, each source line and every write: waits out a hold; false once
    // the run is to stop.
    virtual bool KeepGoing() = 0;
    // Performs step (a write to the target) as one step that a stop cannot cut in two; false,
    // without performing it, when the run is to stop.
    virtual bool Guarded(const std::function<void()>& step) = 0;
    // One whole log line.
    virtual void LogLine(const CString& strLine) = 0;
    // The logon succeeded with a warning (the password will expire soon): its text.
    virtual void LogonWarning(const CString& strText) { LogLine(strText); }
    // Something about the file the user must learn even from a quiet run (a line SQL*Plus will
    // not run as stored, characters the client's SQL*Plus will not read): one whole line.
    virtual void Warning(const CString& strLine) { LogLine(strLine); }
    // Source text, shown split at its line feeds; what follows the last line feed is held back
    // and put in front of the next line.
    virtual void LogSource(const char* pText, int nLength) = 0;
    // An object's source has ended: text held back (a last line without a line feed) is shown.
    virtual void SourceEnds() {}
    // Both progress values, 0..100.
    virtual void Progress(int nObjectPercent, int nTotalPercent) = 0;
    // The object list is known; an object begins; an object's block has been written (this
    // one runs inside the guarded write, so a count kept there is exact when a stop lands).
    virtual void ObjectsListed(int nCount) {}
    virtual void ObjectBegins(const ExportObjectId& object, int nIndex) {}
    virtual void ObjectWritten(const ExportObjectId& object, int nIndex, int nLines) {}
    // A failure's message (ExportEnding::MessageText) the user must see; returns when it has
    // been seen. Comes before Finish.
    virtual void Message(const CString& strText) = 0;
    // The end of a run that was not stopped.
    virtual void Finish(const ExportEnding& ending) = 0;
};

// The kinds a run exports when its parameters name none: the window's four (package, package
// body, procedure, function).
const std::vector<CString>& DefaultExportKinds();

// One job, on the calling thread. The reporter sees every step; the sink gets the blocks.
// Returns how the run ended (ExportResult::Stopped when the reporter said stop, in which case
// Finish was not called).
ExportEnding RunExport(const ExportParams& params, ExportSink& sink, ExportReporter& reporter);

// The objects a run with these parameters would export from the whole schema (objectNames is
// not looked at), found as the run finds them: the same logon, kinds, comparisons, order and
// prefetch, without reading any source. On the calling thread; params.interrupt ends it
// (ExportResult::Stopped). A failure's ending says why, and objects keeps the rows listed
// before it.
ExportEnding ListExportObjects(const ExportParams& params, std::vector<ExportObjectId>& objects);
