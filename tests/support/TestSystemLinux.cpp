#include "support/TestSystem.h"

#include <dlfcn.h>
#include <link.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace testsys {

const char kSeparator[] = "/";
const char kClientLibraryName[] = "libclntsh.so";

void* LoadLibraryByName(const char* name)
{
    return dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

void* FindSymbol(void* library, const char* name)
{
    return dlsym(library, name);
}

void* LoadedLibrary(const char* name)
{
    void* library = dlopen(name, RTLD_NOW | RTLD_NOLOAD);
    if (library != nullptr)
        dlclose(library);  // only the reference just taken: the library stays loaded
    return library;
}

std::string LibraryFolder(void* library)
{
    link_map* map = nullptr;
    if (dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr)
        return std::string();
    const std::string full = map->l_name;
    const size_t slash = full.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : full.substr(0, slash);
}

void SetVariable(const char* name, const char* value)
{
    if (value != nullptr)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

bool HasVariable(const char* name)
{
    return std::getenv(name) != nullptr;
}

std::string TempFolder()
{
    const char* temp = std::getenv("TMPDIR");
    std::string folder = temp != nullptr && *temp != '\0' ? temp : "/tmp";
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::string ProcessTag()
{
    return std::to_string(getpid());
}

bool MakeFolder(const std::string& path)
{
    return mkdir(path.c_str(), 0777) == 0;
}

void RemoveFolder(const std::string& path)
{
    rmdir(path.c_str());
}

bool IsFile(const std::string& path)
{
    struct stat status = {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool SetSystemNlsLang(const char*)
{
    return false;
}

bool SystemDecode(unsigned, const std::string&, std::u16string*)
{
    return false;
}

bool SystemEncode(unsigned, char16_t, std::string*, bool*)
{
    return false;
}

int RunSelf(const std::string& filter, unsigned timeoutMs)
{
    std::vector<char> self(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (length <= 0)
        return -1;
    const std::string argument = "--gtest_filter=" + filter;
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        char* const argv[] = {self.data(), const_cast<char*>(argument.c_str()), nullptr};
        execv(self.data(), argv);
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (done < 0)
            return -1;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace testsys
