// FolderBench.cpp
//
// Times qmexport.exe, started as a child process beside this program, over oci-lite schemas
// of N procedures of 10 lines each (5,000, 10,000 and 20,000 unless the command line names
// other sizes): --file into one .sql file, then --dir into an empty folder (first run) and
// into the same folder again (re-run, nothing changed). Each figure is the fastest of two
// rounds; the folder's times are printed beside the single file's with their ratio (the
// target: at most 3x).
#include <windows.h>

#include <sqlite3.h>

#include "bench/BenchSchema.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const int kLinesPerObject = 10;
const int kRounds = 2;

std::string g_strHere;  // this program's folder, with a trailing backslash

double Seconds()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

// BENCH<n>.sqlite in the work folder: SCOTT's n procedures.
void BuildSchema(const std::string& strFolder, int nObjects)
{
    const std::string strPath = strFolder + "bench" + std::to_string(nObjects) + ".sqlite";
    sqlite3* pDb = OpenBenchSchema(strPath);
    sqlite3_stmt* pObject = nullptr;
    sqlite3_stmt* pSource = nullptr;
    sqlite3_prepare_v2(pDb, "INSERT INTO objects VALUES('SCOTT', ?1, 'PROCEDURE', 'VALID')", -1,
                       &pObject, nullptr);
    sqlite3_prepare_v2(pDb, "INSERT INTO source VALUES('SCOTT', ?1, 'PROCEDURE', ?2, ?3)", -1,
                       &pSource, nullptr);
    char szName[32];
    char szLine[96];
    for (int i = 1; i <= nObjects; ++i) {
        std::snprintf(szName, sizeof(szName), "PROC_%06d", i);
        sqlite3_bind_text(pObject, 1, szName, -1, SQLITE_TRANSIENT);
        sqlite3_step(pObject);
        sqlite3_reset(pObject);
        for (int nLine = 1; nLine <= kLinesPerObject; ++nLine) {
            if (nLine == 1)
                std::snprintf(szLine, sizeof(szLine), "PROCEDURE %s IS\n", szName);
            else if (nLine == kLinesPerObject)
                std::snprintf(szLine, sizeof(szLine), "END;\n");
            else
                std::snprintf(szLine, sizeof(szLine), "  v_%06d := %d; -- object %d\n", nLine,
                              nLine, i);
            sqlite3_bind_text(pSource, 1, szName, -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(pSource, 2, nLine);
            sqlite3_bind_text(pSource, 3, szLine, -1, SQLITE_TRANSIENT);
            sqlite3_step(pSource);
            sqlite3_reset(pSource);
        }
    }
    sqlite3_finalize(pObject);
    sqlite3_finalize(pSource);
    sqlite3_exec(pDb, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(pDb);
}

// One qmexport run; its seconds, or a negative number when it did not end with exit code 0.
double TimeExport(int nObjects, const std::string& strTarget)
{
    std::string strCommand = "\"" + g_strHere + "qmexport.exe\" --user SCOTT --database BENCH" +
                             std::to_string(nObjects) + " --quiet " + strTarget;
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    const double dStart = Seconds();
    if (!::CreateProcessA(nullptr, &strCommand[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &si, &pi)) {
        std::printf("cannot start %s\n", strCommand.c_str());
        return -1;
    }
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    const double dSeconds = Seconds() - dStart;
    DWORD nExit = 1;
    ::GetExitCodeProcess(pi.hProcess, &nExit);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(pi.hThread);
    if (nExit != 0) {
        std::printf("%s ended with exit code %lu\n", strCommand.c_str(),
                    static_cast<unsigned long>(nExit));
        return -1;
    }
    return dSeconds;
}

void RemoveFolder(const std::string& strFolder)
{
    WIN32_FIND_DATAA data{};
    HANDLE hFind = ::FindFirstFileA((strFolder + "\\*").c_str(), &data);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            const std::string strName = data.cFileName;
            if (strName != "." && strName != "..")
                ::DeleteFileA((strFolder + "\\" + strName).c_str());
        } while (::FindNextFileA(hFind, &data));
        ::FindClose(hFind);
    }
    ::RemoveDirectoryA(strFolder.c_str());
}

double Fastest(double dA, double dB)
{
    if (dA < 0 || dB < 0)
        return -1;
    return dA < dB ? dA : dB;
}

}  // namespace

int main(int argc, char** argv)
{
    char szModule[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szModule, MAX_PATH);
    g_strHere = szModule;
    g_strHere.resize(g_strHere.find_last_of('\\') + 1);

    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {5000, 10000, 20000};

    char szTemp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szTemp);
    const std::string strWork =
        std::string(szTemp) + "qm-folder-bench-" + std::to_string(::GetCurrentProcessId()) + "\\";
    ::CreateDirectoryA(strWork.c_str(), nullptr);
    ::SetEnvironmentVariableA("OCI_LITE_HOME", strWork.c_str());
    ::SetEnvironmentVariableA("QUILLMARK_PASSWORD", "TIGER");

    std::printf("qmexport over oci-lite, procedures of %d lines; fastest of %d rounds\n",
                kLinesPerObject, kRounds);
    std::printf("%8s %10s %12s %8s %12s %8s\n", "objects", "--file s", "--dir first", "ratio",
                "--dir again", "ratio");
    for (int nObjects : sizes) {
        BuildSchema(strWork, nObjects);
        const std::string strFile = strWork + "all.sql";
        const std::string strFolder = strWork + "src";
        double dFile = -1;
        double dFirst = -1;
        double dAgain = -1;
        for (int nRound = 0; nRound < kRounds; ++nRound) {
            const double dThisFile = TimeExport(nObjects, "--file \"" + strFile + "\"");
            RemoveFolder(strFolder);
            const double dThisFirst = TimeExport(nObjects, "--dir \"" + strFolder + "\"");
            const double dThisAgain = TimeExport(nObjects, "--dir \"" + strFolder + "\"");
            dFile = nRound == 0 ? dThisFile : Fastest(dFile, dThisFile);
            dFirst = nRound == 0 ? dThisFirst : Fastest(dFirst, dThisFirst);
            dAgain = nRound == 0 ? dThisAgain : Fastest(dAgain, dThisAgain);
        }
        std::printf("%8d %10.2f %12.2f %7.2fx %12.2f %7.2fx\n", nObjects, dFile, dFirst,
                    dFile > 0 ? dFirst / dFile : 0.0, dAgain, dFile > 0 ? dAgain / dFile : 0.0);
        std::fflush(stdout);
        RemoveFolder(strFolder);
        ::DeleteFileA(strFile.c_str());
        ::DeleteFileA((strWork + "bench" + std::to_string(nObjects) + ".sqlite").c_str());
    }
    ::RemoveDirectoryA(strWork.c_str());
    std::printf("target: --dir within 3x of --file, first run and re-run\n");
    return 0;
}
