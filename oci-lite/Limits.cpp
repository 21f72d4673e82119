#include "oci-lite/Limits.h"

#include <windows.h>

#include <cstdlib>

namespace ocilite {

// The one instance of the process, made on first use and never destroyed.
Limits& Limits::Instance()
{
    static Limits* instance = new Limits();
    return *instance;
}

// Runs at every OCIInitialize; only the first one reads the environment. A value that is not
// a number leaves the default.
void Limits::InitializeOnce()
{
    bool expected = false;
    if (!m_initialized.compare_exchange_strong(expected, true))
        return;
    char buffer[32];
    DWORD length = GetEnvironmentVariableA("OCI_LITE_QUERY_TIMEOUT_MS", buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer)
        return;
    char* end = nullptr;
    unsigned long value = std::strtoul(buffer, &end, 10);
    if (end != buffer && *end == '\0')
        m_queryTimeoutMs.store(static_cast<unsigned>(value));
}

}  // namespace ocilite
