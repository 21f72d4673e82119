// ClientLibrary.cpp (Windows): OCI.DLL through LoadLibrary's search order; the copy the search
// finds is judged by its PE header when it does not load.
#include "platform/ClientLibrary.h"

#include <windows.h>

#include <iterator>

namespace {

constexpr WORD kOwnMachine =
    sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;

// The machine type in a PE file's header; 0 when the file cannot be read or is no PE file.
WORD MachineOfFile(const std::wstring& strPath)
{
    HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return 0;
    auto readAt = [hFile](LONG nOffset, void* pBuffer, DWORD nSize) {
        DWORD nRead = 0;
        return SetFilePointer(hFile, nOffset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
               ReadFile(hFile, pBuffer, nSize, &nRead, nullptr) && nRead == nSize;
    };
    IMAGE_DOS_HEADER dos = {};
    DWORD nSignature = 0;
    WORD nMachine = 0;
    const bool bRead = readAt(0, &dos, sizeof dos) && dos.e_magic == IMAGE_DOS_SIGNATURE &&
                       dos.e_lfanew > 0 && readAt(dos.e_lfanew, &nSignature, sizeof nSignature) &&
                       nSignature == IMAGE_NT_SIGNATURE &&
                       readAt(dos.e_lfanew + LONG(sizeof nSignature), &nMachine, sizeof nMachine);
    CloseHandle(hFile);
    return bRead ? nMachine : 0;
}

int BitsOf(WORD nMachine)
{
    switch (nMachine) {
    case IMAGE_FILE_MACHINE_I386:
        return 32;
    case IMAGE_FILE_MACHINE_AMD64:
    case IMAGE_FILE_MACHINE_ARM64:
        return 64;
    default:
        return 0;
    }
}

// The copy of OCI.DLL the search order finds; empty when there is none.
std::wstring FindOnSearchPath()
{
    wchar_t szPath[MAX_PATH * 2] = L"";
    const DWORD nLength =
        SearchPathW(nullptr, L"OCI.DLL", nullptr, DWORD(std::size(szPath)), szPath, nullptr);
    return nLength > 0 && nLength < std::size(szPath) ? std::wstring(szPath, nLength)
                                                      : std::wstring();
}

// The search path holds no OCI.DLL.
std::string NoOciOnPath(int nProgramBits)
{
    const std::string strBits = std::to_string(nProgramBits);
    return "No OCI.DLL is on the PATH: install the " + strBits +
           "-bit Oracle client and put its folder on the PATH";
}

// The OCI.DLL the search path finds was built for the other bitness.
std::string WrongBitness(int nLibraryBits, int nProgramBits)
{
    const std::string strLibrary = std::to_string(nLibraryBits);
    const std::string strProgram = std::to_string(nProgramBits);
    return "OCI.DLL on the PATH is a " + strLibrary + "-bit library and Quillmark is " +
           strProgram + "-bit: install the " + strProgram + "-bit Oracle client, or use the " +
           strLibrary + "-bit Quillmark";
}

// OCI.DLL is on the search path but the system refused it for another reason (a library it
// needs is missing, for one): the system's error number.
std::string NotLoadable(unsigned nSystemError)
{
    const std::string strNumber = " (system error " + std::to_string(nSystemError) + ")";
    if (nSystemError == ERROR_MOD_NOT_FOUND)  // it was found, so what is missing is its own
        return "OCI.DLL on the PATH could not be loaded: a library it needs is missing" + strNumber;
    return "OCI.DLL on the PATH could not be loaded" + strNumber;
}

// Why LoadLibrary failed with nError. The copy found is judged by its own header, whatever the
// error says: a loader may report a library of the other bitness as ERROR_BAD_EXE_FORMAT or skip
// it and report it missing.
std::string LoadFailureReason(DWORD nError)
{
    const std::wstring strPath = FindOnSearchPath();
    if (strPath.empty())
        return NoOciOnPath(BitsOf(kOwnMachine));
    const WORD nMachine = MachineOfFile(strPath);
    if (BitsOf(nMachine) != 0 && BitsOf(nMachine) != BitsOf(kOwnMachine))
        return WrongBitness(BitsOf(nMachine), BitsOf(kOwnMachine));
    return NotLoadable(unsigned(nError));
}

}  // namespace

ClientLibraryLoad LoadClientLibrary()
{
    ClientLibraryLoad load;
    load.strName = ClientLibraryName();
    load.hLibrary = ::LoadLibraryA("OCI.DLL");
    if (load.hLibrary == nullptr)
        load.strReason = LoadFailureReason(::GetLastError());
    return load;
}

const char* ClientLibraryName()
{
    return "oci.dll";
}

const char* ClientLibraryTitle()
{
    return "OCI.DLL";
}

EntryAddress ClientLibraryEntry(void* hLibrary, const char* pszName)
{
    return reinterpret_cast<EntryAddress>(
        ::GetProcAddress(static_cast<HMODULE>(hLibrary), pszName));
}
