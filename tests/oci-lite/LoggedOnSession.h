// LoggedOnSession.h
//
// The fixture of the oci-lite tests that work in one session: it logs on before each test, as
// SCOTT/TIGER on the fixture database unless the deriving fixture names another account.
#pragma once

#include <gtest/gtest.h>

#include "tests/oci-lite/OciLiteHarness.h"

class LoggedOnSession : public ::testing::Test {
protected:
    explicit LoggedOnSession(const char* user = "SCOTT", const char* password = "TIGER",
                             const char* database = "fixture")
        : m_user(user), m_password(password), m_database(database)
    {}
    void SetUp() override
    {
        ASSERT_EQ(OCI_SUCCESS, session.Logon(m_user, m_password, m_database)) << session.failedCall;
    }

    OciSession session;
    const OciApi& api = session.api;

private:
    const char* m_user;
    const char* m_password;
    const char* m_database;
};
