// TemporaryFiles.cpp
#include "qmexport/TemporaryFiles.h"

#include "platform/Files.h"

#include <mutex>
#include <set>

namespace {

std::mutex& RegistryMutex()
{
    static auto* const pMutex = new std::mutex;  // never destroyed: used at process exit
    return *pMutex;
}

std::set<std::wstring>& Registry()
{
    static auto* const pFiles = new std::set<std::wstring>;
    return *pFiles;
}

}  // namespace

namespace TemporaryFiles {

void Add(const std::wstring& strPath)
{
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry().insert(strPath);
}

void Forget(const std::wstring& strPath)
{
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry().erase(strPath);
}

std::vector<std::wstring> RemoveAll()
{
    std::lock_guard<std::mutex> lock(RegistryMutex());
    std::vector<std::wstring> kept;
    for (const std::wstring& strPath : Registry()) {
        const SystemError nError = Files::Remove(strPath);
        if (nError != SystemErrors::kNone && nError != SystemErrors::kFileNotFound)
            kept.push_back(strPath);
    }
    Registry().clear();
    return kept;
}

}  // namespace TemporaryFiles
