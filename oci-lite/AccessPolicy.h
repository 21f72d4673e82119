// AccessPolicy.h
//
// AccessPolicy: what SQL sent through OCI may do on one SQLite connection. A session reads its
// USER_OBJECTS, USER_SOURCE, USER_VIEWS, USER_TAB_COLUMNS and DUAL (and the DBA_ views when the
// session made them), nothing else; every write fails with ORA-16000; PRAGMA,
// ATTACH, EXPLAIN and transaction control fail with ORA-01031. It is enforced in two places:
//   - SQLite's authorizer, installed the moment the connection opens, so that no statement ever
//     compiles unwatched. Base tables may be read only from inside the session's hidden views,
//     whose names are drawn at random per connection: a WITH clause named like a public view
//     cannot stand in for them.
//   - a look at the text before it compiles: the first word (writes), schema-qualified names
//     ("main.x", "temp.x") and any mention of the hidden names give the Oracle error at once.
// oci-lite's own statements (the logon check, the views) run in a Trusted scope.
#pragma once

#include <set>
#include <string>

#include "oci-lite/OraError.h"

struct sqlite3;

namespace ocilite {

class AccessPolicy {
public:
    AccessPolicy();
    AccessPolicy(const AccessPolicy&) = delete;
    AccessPolicy& operator=(const AccessPolicy&) = delete;

    // Watches every statement db compiles from now on; the policy lives as long as db is open.
    void Install(sqlite3* db);

    // Names every table and view the file holds; only the hidden views may read them.
    void SetBaseTables(std::set<std::string> lowerCaseNames)
    {
        m_baseTables = std::move(lowerCaseNames);
    }

    // The names of the views that alone may read main.objects, main.source, main.views and
    // main.view_columns.
    const std::string& HiddenObjectsView() const { return m_hiddenObjects; }
    const std::string& HiddenSourceView() const { return m_hiddenSource; }
    const std::string& HiddenViewsView() const { return m_hiddenViews; }
    const std::string& HiddenViewColumnsView() const { return m_hiddenViewColumns; }

    // Lets oci-lite's own statements through while it lives.
    class Trusted {
    public:
        explicit Trusted(AccessPolicy& policy) : m_policy(policy) { m_policy.m_trusted = true; }
        ~Trusted() { m_policy.m_trusted = false; }
        Trusted(const Trusted&) = delete;
        Trusted& operator=(const Trusted&) = delete;

    private:
        AccessPolicy& m_policy;
    };

    // Runs before a session's statement compiles: the error its first word alone earns, if any.
    OraError CheckBeforeCompile(const std::string& sql);

    // Runs after SQLite compiled it or refused to: the error for what the authorizer refused, or
    // for a name the session may not use (a schema-qualified or a hidden one), if any.
    OraError CheckAfterCompile(const std::string& sql) const;

private:
    static int Authorize(void* self, int action, const char* first, const char* second,
                         const char* schema, const char* context);
    int Decide(int action, const char* first, const char* second, const char* schema,
               const char* context);
    bool MayRead(const char* table, const char* column, const char* schema,
                 const char* context) const;

    std::string m_hiddenObjects;
    std::string m_hiddenSource;
    std::string m_hiddenViews;
    std::string m_hiddenViewColumns;
    std::set<std::string> m_baseTables;  // lower case
    bool m_trusted = false;
    int m_refused = 0;  // the Oracle code earned by the last statement's refused actions
};

}  // namespace ocilite
