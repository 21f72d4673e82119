// RecordCaughtException: what a barrier's catch block leaves for a test to read, for each
// kind of exception, from several threads at once, and after a reset.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include "framework/Barrier.h"

namespace {

class CaughtExceptionRecord : public ::testing::Test {
protected:
    void SetUp() override { ResetCaughtException(); }
    void TearDown() override { ResetCaughtException(); }
};

template <typename Exception>
void ThrowAndRecord(const char* pszWhere, const Exception& exception)
{
    try {
        throw exception;
    } catch (...) {
        RecordCaughtException(pszWhere);
    }
}

}  // namespace

TEST_F(CaughtExceptionRecord, NothingRecordedReadsEmpty)
{
    EXPECT_EQ("", LastCaughtException());
}

TEST_F(CaughtExceptionRecord, RecordsWhereAndWhat)
{
    ThrowAndRecord("export worker", std::runtime_error("disk full"));
    EXPECT_EQ("export worker: disk full", LastCaughtException());
    ThrowAndRecord("window procedure", std::logic_error("bad state"));
    EXPECT_EQ("window procedure: bad state", LastCaughtException());  // the last one only
    ThrowAndRecord("allocation", std::bad_alloc());
    EXPECT_EQ(CString("allocation: ") + std::bad_alloc().what(), LastCaughtException());
}

TEST_F(CaughtExceptionRecord, AnythingNotAStandardExceptionIsUnknown)
{
    ThrowAndRecord("callback", 7);
    EXPECT_EQ("callback: unknown exception", LastCaughtException());
    ThrowAndRecord("callback", "a C string");
    EXPECT_EQ("callback: unknown exception", LastCaughtException());
}

TEST_F(CaughtExceptionRecord, ResetForgetsTheLastOne)
{
    ThrowAndRecord("somewhere", std::runtime_error("failed"));
    ResetCaughtException();
    EXPECT_EQ("", LastCaughtException());
}

TEST_F(CaughtExceptionRecord, RecordsFromTwoThreadsAreNeverMixed)
{
    const std::string strFirst = "first thread: " + std::string(200, 'a');
    const std::string strSecond = "second thread: " + std::string(300, 'b');
    auto record = [](const char* pszWhere, const std::string& strWhat) {
        for (int i = 0; i < 2000; ++i)
            ThrowAndRecord(pszWhere, std::runtime_error(strWhat));
    };
    std::thread first(record, "first thread", std::string(200, 'a'));
    std::thread second(record, "second thread", std::string(300, 'b'));
    bool bAllWhole = true;
    for (int i = 0; i < 2000; ++i) {
        const CString strLast = LastCaughtException();
        bAllWhole = bAllWhole &&
                    (strLast == "" || strLast == strFirst.c_str() || strLast == strSecond.c_str());
    }
    first.join();
    second.join();
    EXPECT_TRUE(bAllWhole);
    const CString strLast = LastCaughtException();
    EXPECT_TRUE(strLast == strFirst.c_str() || strLast == strSecond.c_str()) << strLast.GetString();
}
