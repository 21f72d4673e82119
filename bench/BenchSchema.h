// BenchSchema.h
//
// The oci-lite database both benches fill: SCOTT (password TIGER) with empty object and source
// tables, opened for writing inside one transaction that the caller commits.
#pragma once

#include <windows.h>

#include <sqlite3.h>

#include <string>

inline sqlite3* OpenBenchSchema(const std::string& strPath)
{
    ::DeleteFileA(strPath.c_str());
    sqlite3* pDb = nullptr;
    sqlite3_open_v2(strPath.c_str(), &pDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_exec(
        pDb,
        "CREATE TABLE users(name TEXT PRIMARY KEY, password TEXT, sysdba INTEGER);"
        "CREATE TABLE objects(owner TEXT, object_name TEXT, object_type TEXT, status TEXT);"
        "CREATE TABLE source(owner TEXT, name TEXT, type TEXT, line INTEGER, text TEXT);"
        "CREATE INDEX source_key ON source(owner, name, type, line);"
        "INSERT INTO users VALUES('SCOTT', 'TIGER', 0);"
        "BEGIN;",
        nullptr, nullptr, nullptr);
    return pDb;
}
