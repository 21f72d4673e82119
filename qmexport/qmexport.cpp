// qmexport.cpp
//
// The console exporter's entry point: the command line, the password, the sink the command
// line asks for (one .sql file, or a folder of object files), and one run of the export
// engine on this thread with the console reporter. Its exit code is the run's (see
// ConsoleReporter.h).
#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "export/ExportEngine.h"
#include "export/OutputFile.h"
#include "framework/Barrier.h"
#include "framework/Text.h"
#include "qmexport/CommandLine.h"
#include "qmexport/ConsoleReporter.h"
#include "qmexport/FolderOutput.h"
#include "qmexport/Password.h"
#include "QuillmarkVersion.h"

namespace {

// The export's texts are UTF-8: a console gets them as characters, a file or pipe as bytes.
void WriteTo(DWORD nStdHandle, const std::string& strText)
{
    HANDLE hOutput = ::GetStdHandle(nStdHandle);
    DWORD nWritten = 0;
    DWORD nMode = 0;
    if (hOutput == nullptr || hOutput == INVALID_HANDLE_VALUE)
        return;
    if (::GetConsoleMode(hOutput, &nMode)) {
        const std::wstring strWide = ToWide(strText, CP_UTF8);
        ::WriteConsoleW(hOutput, strWide.data(), DWORD(strWide.size()), &nWritten, nullptr);
        return;
    }
    ::WriteFile(hOutput, strText.data(), DWORD(strText.size()), &nWritten, nullptr);
}

// The process's arguments after the program's name, as the system split them.
std::vector<std::wstring> Arguments()
{
    int nCount = 0;
    LPWSTR* ppArgs = ::CommandLineToArgvW(::GetCommandLineW(), &nCount);
    std::vector<std::wstring> args;
    if (ppArgs == nullptr)
        return args;
    for (int i = 1; i < nCount; ++i)
        args.emplace_back(ppArgs[i]);
    ::LocalFree(ppArgs);
    return args;
}

bool IsConsole(DWORD nStdHandle)
{
    DWORD nMode = 0;
    return ::GetConsoleMode(::GetStdHandle(nStdHandle), &nMode) != FALSE;
}

// Clears the password's bytes when the run is over.
class PasswordWiper {
public:
    explicit PasswordWiper(CString& strPassword) : m_strPassword(strPassword) {}
    ~PasswordWiper()
    {
        if (!m_strPassword.IsEmpty())
            ::SecureZeroMemory(m_strPassword.GetBuffer(), size_t(m_strPassword.GetLength()));
        m_strPassword.Empty();
    }
    PasswordWiper(const PasswordWiper&) = delete;
    PasswordWiper& operator=(const PasswordWiper&) = delete;

private:
    CString& m_strPassword;
};

int Run()
{
    CommandLine line;
    std::string strError;
    if (!CommandLine::Parse(Arguments(), line, strError)) {
        WriteTo(STD_ERROR_HANDLE, "qmexport: " + strError + "\n\n" + CommandLine::UsageText());
        return kExitUsage;
    }
    if (line.bVersion) {
        WriteTo(STD_OUTPUT_HANDLE, "qmexport " QUILLMARK_VERSION "\n");
        return kExitDone;
    }
    if (line.bHelp) {
        WriteTo(STD_OUTPUT_HANDLE, CommandLine::UsageText());
        return kExitDone;
    }
    StopRequest::Install();

    ExportParams params;
    params.strUser = line.strUser;
    params.strDatabase = line.strDatabase;
    params.bSysdba = line.bSysdba;
    params.objectNames = line.objectNames;
    params.kinds = line.kinds;
    params.strOwner = line.strOwner;
    params.interrupt = StopRequest::Interrupt();
    PasswordWiper wiper(params.strPassword);
    PasswordSource::Read(params.strPassword);
    if (StopRequest::Flag().load())
        return kExitStopped;

    std::unique_ptr<ExportSink> sink;
    if (!line.strFile.empty())
        sink = std::make_unique<OutputFile>(line.strFile);
    else
        sink = std::make_unique<FolderOutput>(
            line.strFolder, line.objectNames.empty(), line.kinds,
            [](const std::string& strLine) { WriteTo(STD_ERROR_HANDLE, strLine + "\n"); });

    const ProgressStyle style = line.bQuiet                   ? ProgressStyle::Quiet
                                : IsConsole(STD_ERROR_HANDLE) ? ProgressStyle::StatusLine
                                                              : ProgressStyle::LinePerObject;
    ConsoleReporter reporter(
        StopRequest::Flag(), style,
        [](const std::string& strText) { WriteTo(STD_ERROR_HANDLE, strText); }, *sink);
    const ExportEnding ending = RunExport(params, *sink, reporter);
    if (ending.result == ExportResult::Stopped) {
        reporter.Stopped();
        return kExitStopped;
    }
    return ExitCodeOf(ending);
}

}  // namespace

int main()
{
    try {
        return Run();
    } catch (...) {
        RecordCaughtException("qmexport");
        WriteTo(STD_ERROR_HANDLE,
                "qmexport: unexpected failure: " + LastCaughtException().str() + "\n");
        return kExitFailed;
    }
}
