// DBInterrupt.cpp: the hand-over between the requesting thread and the connection.
#include "db/DBInterrupt.h"

#include "db/DBConnect.h"

// The lock is held across the break, so a connection cannot detach (and free its handles)
// while the break is being delivered.
void DBInterrupt::Request()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bRequested.store(true);
    if (m_pConnection != nullptr)
        m_pConnection->Break();
}

void DBInterrupt::Attach(DBConnect* pConnection)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pConnection = pConnection;
}

void DBInterrupt::Detach(DBConnect* pConnection)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pConnection == pConnection)
        m_pConnection = nullptr;
}

bool DeliverBreak(const std::shared_ptr<DBInterrupt>& interrupt, const ThreadStarter& startThread,
                  DWORD& nError)
{
    nError = 0;
    if (!interrupt)
        return true;
    interrupt->MarkRequested();
    const ThreadStart start = startThread([interrupt] { interrupt->Request(); });
    if (start.Started())
        return true;
    nError = start.nError;
    interrupt->Request();
    return false;
}
