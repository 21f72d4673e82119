#include "oci-lite/Limits.h"

#include <cstdlib>

#include "oci-lite/Host.h"

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
    const std::string text = host::Environment("OCI_LITE_QUERY_TIMEOUT_MS");
    if (text.empty() || text.size() >= 32)
        return;
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (end != text.c_str() && *end == '\0')
        m_queryTimeoutMs.store(static_cast<unsigned>(value));
}

}  // namespace ocilite
