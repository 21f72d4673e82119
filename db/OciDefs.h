// OciDefs.h
//
// The slice of the Oracle Call Interface that Quillmark uses, written out by hand because the
// client library is never linked at build time: the scalar typedefs with their Windows widths,
// the opaque handle types, the numeric constants the program passes or receives, and one
// __cdecl function-pointer type per entry point that is looked up in "OCI.DLL" at run time.
//
// Two sides include it: the database layer (db/), which calls through these pointer types, and
// oci-lite (oci-lite/), our own OCI.DLL, which takes its types and constants from here. Its
// entry points are defined with declarations of their own and reached by name at run time, so
// the compiler does not hold them to the pointer types here: a signature that differs is caught
// only by the tests that call oci-lite through this layer.
//
// The handle types are incomplete structs: the program only passes their addresses around;
// oci-lite is free to complete them in its own sources.
#pragma once

#include <cstddef>

// The calling convention is named for 32-bit Windows, where compilers have a choice; other
// systems have one.
#if !defined(_WIN32) && !defined(__cdecl)
#define __cdecl
#endif

// ---- Scalar types (Windows oratypes.h widths, the same on Win32 and Win64) ----

typedef unsigned char ub1;
typedef signed char sb1;
typedef unsigned short ub2;
typedef signed short sb2;
typedef unsigned int ub4;
typedef signed int sb4;
typedef signed int sword;
// oratypes.h's boolean (an int, TRUE 1); windows.h already has another type of that name.
typedef int OciBoolean;
typedef unsigned int uword;
typedef signed int eword;
typedef unsigned long long ub8;
typedef signed long long sb8;
typedef unsigned char oratext;
typedef oratext OraText;
typedef oratext text;
typedef void dvoid;

// ---- Opaque handle types ----

typedef struct OCIEnv OCIEnv;
typedef struct OCIError OCIError;
typedef struct OCIServer OCIServer;
typedef struct OCISvcCtx OCISvcCtx;
typedef struct OCISession OCISession;
typedef struct OCIStmt OCIStmt;
typedef struct OCIBind OCIBind;
typedef struct OCIDefine OCIDefine;
typedef struct OCISnapshot OCISnapshot;

// ---- Modes ----

constexpr ub4 OCI_DEFAULT = 0x00000000;
constexpr ub4 OCI_THREADED = 0x00000001;
constexpr ub4 OCI_OBJECT = 0x00000002;
constexpr ub4 OCI_DESCRIBE_ONLY = 0x00000010;
constexpr ub4 OCI_COMMIT_ON_SUCCESS = 0x00000020;

// ---- Return codes ----

constexpr sword OCI_SUCCESS = 0;
constexpr sword OCI_SUCCESS_WITH_INFO = 1;
constexpr sword OCI_NEED_DATA = 99;
constexpr sword OCI_NO_DATA = 100;
constexpr sword OCI_ERROR = -1;
constexpr sword OCI_INVALID_HANDLE = -2;
constexpr sword OCI_STILL_EXECUTING = -3123;

// ---- Handle and descriptor types ----

constexpr ub4 OCI_HTYPE_ENV = 1;
constexpr ub4 OCI_HTYPE_ERROR = 2;
constexpr ub4 OCI_HTYPE_SVCCTX = 3;
constexpr ub4 OCI_HTYPE_STMT = 4;
constexpr ub4 OCI_HTYPE_BIND = 5;
constexpr ub4 OCI_HTYPE_DEFINE = 6;
constexpr ub4 OCI_HTYPE_DESCRIBE = 7;
constexpr ub4 OCI_HTYPE_SERVER = 8;
constexpr ub4 OCI_HTYPE_SESSION = 9;
constexpr ub4 OCI_HTYPE_TRANS = 10;
constexpr ub4 OCI_DTYPE_PARAM = 53;

// ---- Attributes ----

constexpr ub4 OCI_ATTR_DATA_SIZE = 1;
constexpr ub4 OCI_ATTR_DATA_TYPE = 2;
constexpr ub4 OCI_ATTR_NAME = 4;
constexpr ub4 OCI_ATTR_SERVER = 6;
constexpr ub4 OCI_ATTR_SESSION = 7;
constexpr ub4 OCI_ATTR_ROW_COUNT = 9;
constexpr ub4 OCI_ATTR_PREFETCH_ROWS = 11;
constexpr ub4 OCI_ATTR_PREFETCH_MEMORY = 13;
constexpr ub4 OCI_ATTR_PARAM_COUNT = 18;
constexpr ub4 OCI_ATTR_USERNAME = 22;
constexpr ub4 OCI_ATTR_PASSWORD = 23;
constexpr ub4 OCI_ATTR_STMT_TYPE = 24;
constexpr ub4 OCI_ATTR_ROWS_FETCHED = 197;
constexpr ub4 OCI_ATTR_CURRENT_SCHEMA = 224;
// ub2 on an environment handle: the client character set in use.
constexpr ub4 OCI_ATTR_ENV_CHARSET_ID = 31;

// Values of OCI_ATTR_STMT_TYPE.
constexpr ub2 OCI_STMT_SELECT = 1;
constexpr ub2 OCI_STMT_UPDATE = 2;
constexpr ub2 OCI_STMT_DELETE = 3;
constexpr ub2 OCI_STMT_INSERT = 4;
constexpr ub2 OCI_STMT_CREATE = 5;
constexpr ub2 OCI_STMT_DROP = 6;
constexpr ub2 OCI_STMT_ALTER = 7;
constexpr ub2 OCI_STMT_BEGIN = 8;
constexpr ub2 OCI_STMT_DECLARE = 9;
constexpr ub2 OCI_STMT_CALL = 10;

// ---- Credentials and session modes ----

constexpr ub4 OCI_CRED_RDBMS = 1;
constexpr ub4 OCI_CRED_EXT = 2;
constexpr ub4 OCI_SYSDBA = 0x00000002;
constexpr ub4 OCI_SYSOPER = 0x00000004;

// ---- Statement syntax ----

constexpr ub4 OCI_NTV_SYNTAX = 1;
constexpr ub4 OCI_V7_SYNTAX = 2;
constexpr ub4 OCI_V8_SYNTAX = 3;

// ---- Fetch orientation ----

constexpr ub2 OCI_FETCH_CURRENT = 0x01;
constexpr ub2 OCI_FETCH_NEXT = 0x02;
constexpr ub2 OCI_FETCH_FIRST = 0x04;
constexpr ub2 OCI_FETCH_LAST = 0x08;
constexpr ub2 OCI_FETCH_PRIOR = 0x10;
constexpr ub2 OCI_FETCH_ABSOLUTE = 0x20;
constexpr ub2 OCI_FETCH_RELATIVE = 0x40;

// ---- External data types ----

constexpr ub2 SQLT_CHR = 1;
constexpr ub2 SQLT_NUM = 2;
constexpr ub2 SQLT_INT = 3;
constexpr ub2 SQLT_FLT = 4;
constexpr ub2 SQLT_STR = 5;
constexpr ub2 SQLT_VNU = 6;
constexpr ub2 SQLT_LNG = 8;
constexpr ub2 SQLT_VCS = 9;
constexpr ub2 SQLT_RID = 11;
constexpr ub2 SQLT_DAT = 12;
constexpr ub2 SQLT_BIN = 23;
constexpr ub2 SQLT_LBI = 24;
constexpr ub2 SQLT_LVC = 94;
constexpr ub2 SQLT_AFC = 96;
constexpr ub2 SQLT_AVC = 97;
constexpr ub2 SQLT_CLOB = 112;
constexpr ub2 SQLT_BLOB = 113;

// ---- Oracle error numbers with a meaning of their own in the program ----

constexpr sb4 OCI_ORA_NO_DATA_FOUND = 1403;           // end of a result
constexpr sb4 OCI_ORA_SUCCESS_WITH_COMPILE = 24344;   // warning: compilation error
constexpr sb4 OCI_ORA_TRUNCATION_OR_NULL = 24345;     // warning: truncated or null fetch
constexpr sb4 OCI_ORA_COLUMN_TRUNCATED = 1406;        // fetched column value was truncated
constexpr sb4 OCI_ORA_NULL_WITHOUT_INDICATOR = 1405;  // fetched column value is NULL
constexpr sb4 OCI_ORA_USER_CANCEL = 1013;             // user requested cancel of current operation

// ---- Character set ids (NLS_CHARSET_ID) the program asks for ----

constexpr ub2 OCI_CHARSET_AL32UTF8 = 873;
constexpr ub2 OCI_CHARSET_UTF8 = 871;

// ---- Entry points, as published; every one returns a sword and uses __cdecl ----

typedef void*(__cdecl* OCIMallocFn)(void* ctxp, size_t size);
typedef void*(__cdecl* OCIReallocFn)(void* ctxp, void* memptr, size_t newsize);
typedef void(__cdecl* OCIMfreeFn)(void* ctxp, void* memptr);

typedef sword(__cdecl* OCIInitializeFn)(ub4 mode, void* ctxp, OCIMallocFn malocfp,
                                        OCIReallocFn ralocfp, OCIMfreeFn mfreefp);
typedef sword(__cdecl* OCIEnvInitFn)(OCIEnv** envp, ub4 mode, size_t xtramem_sz, void** usrmempp);
typedef sword(__cdecl* OCIHandleAllocFn)(const void* parenth, void** hndlpp, const ub4 type,
                                         const size_t xtramem_sz, void** usrmempp);
typedef sword(__cdecl* OCIHandleFreeFn)(void* hndlp, const ub4 type);
typedef sword(__cdecl* OCIAttrSetFn)(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size,
                                     ub4 attrtype, OCIError* errhp);
typedef sword(__cdecl* OCIServerAttachFn)(OCIServer* srvhp, OCIError* errhp, const OraText* dblink,
                                          sb4 dblink_len, ub4 mode);
typedef sword(__cdecl* OCIServerDetachFn)(OCIServer* srvhp, OCIError* errhp, ub4 mode);
typedef sword(__cdecl* OCISessionBeginFn)(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp,
                                          ub4 credt, ub4 mode);
typedef sword(__cdecl* OCISessionEndFn)(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp,
                                        ub4 mode);
typedef sword(__cdecl* OCIErrorGetFn)(void* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep,
                                      OraText* bufp, ub4 bufsiz, ub4 type);
typedef sword(__cdecl* OCIStmtPrepareFn)(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt,
                                         ub4 stmt_len, ub4 language, ub4 mode);
typedef sword(__cdecl* OCIBindByPosFn)(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp,
                                       ub4 position, void* valuep, sb4 value_sz, ub2 dty,
                                       void* indp, ub2* alenp, ub2* rcodep, ub4 maxarr_len,
                                       ub4* curelep, ub4 mode);
typedef sword(__cdecl* OCIDefineByPosFn)(OCIStmt* stmtp, OCIDefine** defnp, OCIError* errhp,
                                         ub4 position, void* valuep, sb4 value_sz, ub2 dty,
                                         void* indp, ub2* rlenp, ub2* rcodep, ub4 mode);
typedef sword(__cdecl* OCIStmtExecuteFn)(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp,
                                         ub4 iters, ub4 rowoff, const OCISnapshot* snap_in,
                                         OCISnapshot* snap_out, ub4 mode);
typedef sword(__cdecl* OCIStmtFetchFn)(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation,
                                       ub4 mode);
typedef sword(__cdecl* OCIEnvNlsCreateFn)(OCIEnv** envhpp, ub4 mode, void* ctxp,
                                          OCIMallocFn malocfp, OCIReallocFn ralocfp,
                                          OCIMfreeFn mfreefp, size_t xtramem_sz, void** usrmempp,
                                          ub2 charset, ub2 ncharset);
typedef sword(__cdecl* OCIAttrGetFn)(const void* trgthndlp, ub4 trghndltyp, void* attributep,
                                     ub4* sizep, ub4 attrtype, OCIError* errhp);
typedef sword(__cdecl* OCINlsCharSetIdToNameFn)(void* envhp, OraText* buf, size_t buflen, ub2 id);
typedef sword(__cdecl* OCIBreakFn)(void* hndlp, OCIError* errhp);
typedef sword(__cdecl* OCINlsCharSetConvertFn)(void* envhp, OCIError* errhp, ub2 dstid, void* dstp,
                                               size_t dstlen, ub2 srcid, const void* srcp,
                                               size_t srclen, size_t* rsize);
typedef OciBoolean(__cdecl* OCICharSetConversionIsReplacementUsedFn)(void* hndl);
