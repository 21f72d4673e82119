// qmexport.cpp
//
// The console exporter's entry point: the command line, the password, the sink the command
// line asks for (one .sql file, or a folder of object files), and one run of the export
// engine on this thread with the console reporter. Its exit code is the run's (see
// ConsoleReporter.h).
#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/ExportEngine.h"
#include "export/OutputFile.h"
#include "framework/Barrier.h"
#include "framework/Text.h"
#include "qmexport/CommandLine.h"
#include "qmexport/ConsoleReporter.h"
#include "qmexport/DriftReport.h"
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

// How reading a whole file went.
enum class FileRead { Read, Missing, Failed };

// The whole file; for Failed, nError is the system's reason, taken at the call that failed.
FileRead ReadWholeFile(const std::wstring& strPath, std::string& strContent, DWORD& nError)
{
    strContent.clear();
    CHandle file(::CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        nError = ::GetLastError();
        return nError == ERROR_FILE_NOT_FOUND || nError == ERROR_PATH_NOT_FOUND ? FileRead::Missing
                                                                                : FileRead::Failed;
    }
    // Read into room for the whole file: grown piece by piece it would take up to twice that.
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0 && size.QuadPart < (1LL << 31))
        strContent.reserve(size_t(size.QuadPart));
    char buffer[65536];
    for (;;) {
        DWORD nRead = 0;
        if (!::ReadFile(file.Get(), buffer, sizeof(buffer), &nRead, nullptr)) {
            nError = ::GetLastError();
            return FileRead::Failed;
        }
        if (nRead == 0)
            return FileRead::Read;
        strContent.append(buffer, nRead);
    }
}

// The sink the command line asks for, and how a --check reads the differences it found.
struct ChosenSink {
    std::unique_ptr<ExportSink> sink;
    // The differences, one line each, once a run that was done has rendered every block;
    // false with the reason when the target could not be read to its end.
    std::function<bool(std::vector<std::string>& lines, std::string& strReason)> differences;
};

ChosenSink MakeSink(const CommandLine& line)
{
    ChosenSink chosen;
    if (!line.strFile.empty()) {
        auto file = std::make_unique<OutputFile>(
            line.strFile, line.bCheck ? OutputFile::Target::Memory : OutputFile::Target::File);
        const OutputFile& rendered = *file;
        const std::wstring strPath = line.strFile;
        chosen.differences = [&rendered, strPath](std::vector<std::string>& lines,
                                                  std::string& strReason) {
            std::string strOld;
            DWORD nError = 0;
            const FileRead read = ReadWholeFile(strPath, strOld, nError);
            if (read == FileRead::Failed) {
                strReason = FromWide(strPath, CP_UTF8) + ": " + SystemErrorText(nError).str();
                return false;
            }
            lines = DriftReport::FileLines(FromWide(strPath, CP_UTF8), read == FileRead::Read,
                                           strOld, rendered.Content(), rendered.Blocks());
            return true;
        };
        chosen.sink = std::move(file);
        return chosen;
    }
    auto folder = std::make_unique<FolderOutput>(
        line.strFolder, line.objectNames.empty(), line.kinds,
        [](const std::string& strLine) { WriteTo(STD_ERROR_HANDLE, strLine + "\n"); }, 0,
        NameFilter(line.includePatterns, line.excludePatterns),
        line.bCheck ? FolderFiles::Mode::LookOnly : FolderFiles::Mode::Write);
    const FolderOutput& looked = *folder;
    chosen.differences = [&looked](std::vector<std::string>& lines, std::string&) {
        lines = DriftReport::FolderLines(looked.Differences());
        return true;
    };
    chosen.sink = std::move(folder);
    return chosen;
}

// The differences a --check found, on standard output, one line each; a target that cannot be
// read to its end fails the check with its reason.
int ReportDrift(const ChosenSink& chosen)
{
    std::vector<std::string> lines;
    std::string strReason;
    if (!chosen.differences(lines, strReason)) {
        WriteTo(STD_ERROR_HANDLE, "qmexport: the file cannot be read: " + strReason + "\n");
        return kExitFailed;
    }
    std::string strOut;
    for (const std::string& strLine : lines)
        strOut += strLine + "\n";
    WriteTo(STD_OUTPUT_HANDLE, strOut);
    return lines.empty() ? kExitDone : kExitDrift;
}

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
    params.includePatterns = line.includePatterns;
    params.excludePatterns = line.excludePatterns;
    params.bUtf8Files = line.bUtf8Files;
    params.interrupt = StopRequest::Interrupt();
    PasswordWiper wiper(params.strPassword);
    // The password store holds the credential of an external logon: nothing is read here.
    if (!line.IsExternalLogon()) {
        CString strReason;
        if (!PasswordSource::Read(params.strPassword, strReason)) {
            if (StopRequest::Flag().load())
                return kExitStopped;
            WriteTo(STD_ERROR_HANDLE,
                    "qmexport: the password cannot be read: " + strReason.str() + "\n");
            return kExitLogon;
        }
    }
    if (StopRequest::Flag().load())
        return kExitStopped;

    const ChosenSink chosen = MakeSink(line);
    ExportSink& sink = *chosen.sink;

    const ProgressStyle style = line.bQuiet                   ? ProgressStyle::Quiet
                                : IsConsole(STD_ERROR_HANDLE) ? ProgressStyle::StatusLine
                                                              : ProgressStyle::LinePerObject;
    ConsoleReporter reporter(
        StopRequest::Flag(), style,
        [](const std::string& strText) { WriteTo(STD_ERROR_HANDLE, strText); }, sink);
    if (line.bCheck)
        reporter.SetChecking();
    const ExportEnding ending = RunExport(params, sink, reporter);
    if (ending.result == ExportResult::Stopped) {
        reporter.Stopped();
        return kExitStopped;
    }
    if (line.bCheck && ending.result == ExportResult::Done)
        return ReportDrift(chosen);
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
