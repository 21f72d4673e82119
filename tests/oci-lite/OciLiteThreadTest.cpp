// Two connections on two threads are independent, and the shared counters stay exact.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "tests/oci-lite/OciLiteHarness.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Logs on as user and lists the objects `rounds` times; counts every wrong answer.
void ListRepeatedly(const std::string& user, const std::string& password, const Rows& expected,
                    int rounds, std::atomic<int>* wrong) {
  OciSession session;
  if (session.Logon(user, password, "fixture") != OCI_SUCCESS) {
    ++*wrong;
    return;
  }
  for (int i = 0; i < rounds; ++i) {
    sword status;
    Rows rows = session.Query(
        "SELECT OBJECT_NAME,OBJECT_TYPE FROM USER_OBJECTS ORDER BY OBJECT_NAME,OBJECT_TYPE", {}, 2,
        &status, 0, true);
    if (status != OCI_NO_DATA || rows != expected) ++*wrong;
  }
}

TEST(OciLiteThreads, TwoConnectionsOnTwoThreadsAreIndependent) {
  const OciApi& api = OciApi::Get();
  const Rows scott = {{"EMP_API", "PACKAGE"}, {"EMP_API", "PACKAGE BODY"},
                      {"EMP_TRG", "TRIGGER"}, {"GET_SAL", "FUNCTION"},
                      {"HR_UTIL", "PACKAGE"}, {"RAISE_SAL", "PROCEDURE"}};
  const Rows blake = {{"BLAKE_PKG", "PACKAGE"}};
  const int rounds = 40;
  int handlesBefore = api.LiveHandles();
  unsigned tripsBefore = api.RoundTrips();
  std::atomic<int> wrong{0};
  std::thread first(ListRepeatedly, "SCOTT", "TIGER", scott, rounds, &wrong);
  std::thread second(ListRepeatedly, "BLAKE", "Paper", blake, rounds, &wrong);
  first.join();
  second.join();
  EXPECT_EQ(0, wrong.load());
  EXPECT_EQ(handlesBefore, api.LiveHandles());
  // Per thread: attach, begin, end, and per round one execute plus one fetch per row and one
  // for the end (prefetch 0).
  unsigned expectedTrips = 2 * 3 + rounds * (1 + 6) + rounds * (1 + 1);
  EXPECT_EQ(expectedTrips, api.RoundTrips() - tripsBefore);
}

TEST(OciLiteThreads, TraceLinesOfTwoThreadsStayWhole) {
  const OciApi& api = OciApi::Get();
  std::string path = FixtureHome() + "\\trace-threads.txt";
  DeleteFileA(path.c_str());
  ASSERT_EQ(1, api.SetTraceFile(path.c_str()));
  std::atomic<int> wrong{0};
  const Rows blake = {{"BLAKE_PKG", "PACKAGE"}};
  std::thread a(ListRepeatedly, "BLAKE", "Paper", blake, 20, &wrong);
  std::thread b(ListRepeatedly, "BLAKE", "Paper", blake, 20, &wrong);
  a.join();
  b.join();
  api.SetTraceFile(nullptr);
  EXPECT_EQ(0, wrong.load());
  std::ifstream in(path);
  int lines = 0;
  for (std::string line; std::getline(in, line); ++lines) {
    // Each line is one call: it starts with an entry point and holds one result.
    ASSERT_EQ(0u, line.find("OCI")) << line;
    size_t arrow = line.find(" -> ");
    ASSERT_NE(std::string::npos, arrow) << line;
    ASSERT_EQ(std::string::npos, line.find(" -> ", arrow + 1)) << line;
    std::string result = line.substr(arrow + 4);
    ASSERT_FALSE(result.empty()) << line;
    ASSERT_EQ(std::string::npos, result.find_first_not_of("-0123456789")) << line;
  }
  EXPECT_GT(lines, 2 * 20 * 8);
}

TEST(OciLiteThreads, DelayOnOneConnectionDoesNotHoldTheOther) {
  // With a 50 ms round trip, two threads doing the same work take about as long as one.
  const OciApi& api = OciApi::Get();
  api.SetRoundTripDelay(50000);
  std::atomic<int> wrong{0};
  const Rows blake = {{"BLAKE_PKG", "PACKAGE"}};
  DWORD start = GetTickCount();
  ListRepeatedly("BLAKE", "Paper", blake, 3, &wrong);
  DWORD single = GetTickCount() - start;
  start = GetTickCount();
  std::thread a(ListRepeatedly, "BLAKE", "Paper", blake, 3, &wrong);
  std::thread b(ListRepeatedly, "BLAKE", "Paper", blake, 3, &wrong);
  a.join();
  b.join();
  DWORD both = GetTickCount() - start;
  api.SetRoundTripDelay(0);
  EXPECT_EQ(0, wrong.load());
  EXPECT_GE(single, 9u * 50u - 16u);  // 3 + 3 x 2 round trips
  EXPECT_LT(both, single * 2 - 60);
}

}  // namespace
