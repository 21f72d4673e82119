// ClientLibrary.cpp (POSIX): libclntsh.so, then the versioned names Instant Client installs,
// through dlopen's own search (LD_LIBRARY_PATH, the cache, the system's folders). A library
// built for another machine is found by reading the ELF headers of the copies on that path,
// since the loader passes over them in silence.
#include "platform/ClientLibrary.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kNames[] = {
    "libclntsh.so",      "libclntsh.so.23.1", "libclntsh.so.21.1",
    "libclntsh.so.19.1", "libclntsh.so.18.1", "libclntsh.so.12.1",
};

constexpr char kWhatToDo[] = "install Oracle Instant Client and add its folder to LD_LIBRARY_PATH";

struct Machine {
    // ELF's class (1: 32-bit, 2: 64-bit) and e_machine; 0 when the file is no ELF file.
    int nClass = 0;
    unsigned nMachine = 0;

    bool operator==(const Machine& other) const
    {
        return nClass == other.nClass && nMachine == other.nMachine;
    }
};

Machine MachineOfFile(const std::string& strPath)
{
    Machine machine;
    const int fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return machine;
    unsigned char header[20] = {};
    const bool bRead = ::read(fd, header, sizeof(header)) == ssize_t(sizeof(header));
    ::close(fd);
    if (!bRead || std::memcmp(header,
                              "\x7f"
                              "ELF",
                              4) != 0)
        return machine;
    machine.nClass = header[4];
    // e_machine at offset 18, in the file's byte order (EI_DATA: 1 little, 2 big).
    machine.nMachine = header[5] == 2 ? unsigned(header[18]) << 8 | header[19]
                                      : unsigned(header[19]) << 8 | header[18];
    return machine;
}

std::string MachineName(const Machine& machine)
{
    const std::string strBits = machine.nClass == 1 ? "32-bit" : "64-bit";
    switch (machine.nMachine) {
    case 3:
        return "x86 (32-bit)";
    case 62:
        return "x86-64";
    case 40:
        return "ARM (32-bit)";
    case 183:
        return "ARM64";
    case 21:
        return "PowerPC (" + strBits + ")";
    case 22:
        return "IBM Z";
    case 43:
        return "SPARC (" + strBits + ")";
    default:
        return "machine " + std::to_string(machine.nMachine) + " (" + strBits + ")";
    }
}

// The folders the loader searches besides its cache: LD_LIBRARY_PATH's, then the usual ones.
std::vector<std::string> SearchFolders()
{
    std::vector<std::string> folders;
    if (const char* pszPath = std::getenv("LD_LIBRARY_PATH")) {
        std::string strPath = pszPath;
        size_t nStart = 0;
        while (nStart <= strPath.size()) {
            const size_t nEnd = strPath.find(':', nStart);
            const std::string strFolder = strPath.substr(
                nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart);
            folders.push_back(strFolder.empty() ? "." : strFolder);
            if (nEnd == std::string::npos)
                break;
            nStart = nEnd + 1;
        }
    }
    for (const char* pszFolder : {"/lib64", "/usr/lib64", "/lib/x86_64-linux-gnu",
                                  "/usr/lib/x86_64-linux-gnu", "/lib", "/usr/lib"})
        folders.push_back(pszFolder);
    return folders;
}

// The first copy of the library on the search path that is built for another machine than this
// program; empty when there is none.
std::string OtherMachineCopy(const Machine& own, Machine& found)
{
    for (const std::string& strFolder : SearchFolders()) {
        for (const char* pszName : kNames) {
            const std::string strPath = strFolder + "/" + pszName;
            const Machine machine = MachineOfFile(strPath);
            if (machine.nClass != 0 && !(machine == own)) {
                found = machine;
                return strPath;
            }
        }
    }
    return std::string();
}

bool IsNotFound(const std::string& strError)
{
    return strError.find("No such file or directory") != std::string::npos;
}

}  // namespace

ClientLibraryLoad LoadClientLibrary()
{
    ClientLibraryLoad load;
    load.strName = ClientLibraryName();
    std::string strFirstError;
    std::string strRefusal;
    for (const char* pszName : kNames) {
        load.hLibrary = ::dlopen(pszName, RTLD_NOW | RTLD_LOCAL);
        if (load.hLibrary != nullptr)
            return load;
        const char* pszError = ::dlerror();
        const std::string strError = pszError != nullptr ? pszError : pszName;
        if (strFirstError.empty())
            strFirstError = strError;
        // Found, but the loader refused it (a library it needs is missing, for one).
        if (strRefusal.empty() && !IsNotFound(strError))
            strRefusal = strError;
    }
    // A copy for another machine is passed over by the loader, or refused with its header's
    // fault ("libclntsh.so: wrong ELF class: ELFCLASS32", which names the file without its
    // folder): either way it is named as such.
    const Machine own = MachineOfFile("/proc/self/exe");
    Machine found;
    const std::string strOther = own.nClass != 0 ? OtherMachineCopy(own, found) : std::string();
    if (!strRefusal.empty() && (strOther.empty() || strRefusal.find("ELF") == std::string::npos)) {
        load.strReason = strRefusal;
        return load;
    }
    if (!strOther.empty()) {
        load.strReason = strOther + " is a library for " + MachineName(found) +
                         " and this program is for " + MachineName(own) + ": install the " +
                         MachineName(own) +
                         " Oracle Instant Client and add its folder to "
                         "LD_LIBRARY_PATH";
        return load;
    }
    load.strReason = strFirstError + ": " + kWhatToDo;
    return load;
}

const char* ClientLibraryName()
{
    return kNames[0];
}

const char* ClientLibraryTitle()
{
    return kNames[0];
}

EntryAddress ClientLibraryEntry(void* hLibrary, const char* pszName)
{
    return reinterpret_cast<EntryAddress>(::dlsym(hLibrary, pszName));
}
