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

void DeliverBreak(const std::shared_ptr<DBInterrupt>& interrupt, const ThreadStarter& startThread)
{
    if (!interrupt)
        return;
    interrupt->MarkRequested();
    if (!startThread([interrupt] { interrupt->Request(); }).Started())
        interrupt->Request();
}
