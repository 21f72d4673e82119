// DBInterrupt.h
//
// DBInterrupt: lets another thread end the call a connection is waiting in (the window's Stop,
// the console's Ctrl+C). The thread that runs the export hands it to its DBConnect; any thread
// may call Request, before, during or after the logon, and even while the connection is being
// freed: the break reaches the connection only while it holds handles, and a request made
// between two calls is seen by the caller's own checks (IsRequested).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "framework/Thread.h"

class DBConnect;

class DBInterrupt {
public:
    DBInterrupt() = default;
    DBInterrupt(const DBInterrupt&) = delete;
    DBInterrupt& operator=(const DBInterrupt&) = delete;

    // The connection's running call ends with ORA-01013; every later check says stop.
    void Request();
    // Only the flag of Request, without the break (for a caller that must not wait for the
    // break's round trip; Request follows on another thread).
    void MarkRequested() { m_bRequested.store(true); }
    bool IsRequested() const { return m_bRequested.load(); }

private:
    friend class DBConnect;
    void Attach(DBConnect* pConnection);
    void Detach(DBConnect* pConnection);

    std::mutex m_mutex;
    DBConnect* m_pConnection = nullptr;
    std::atomic<bool> m_bRequested{false};
};

// Ends the call interrupt's connection waits in without making the caller wait for it: the
// request is marked at once and the break (over a dead link OCIBreak waits for an answer that
// may never come) travels on a thread startThread starts. When no thread can be started the
// break is delivered on the calling thread after all: a break late is better than none.
void DeliverBreak(const std::shared_ptr<DBInterrupt>& interrupt, const ThreadStarter& startThread);
