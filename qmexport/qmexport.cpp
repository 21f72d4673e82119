// qmexport.cpp
//
// The console exporter's entry point: the command line, the password, the sink the command
// line asks for (one .sql file, or a folder of object files), and one run of the export
// engine on this thread with the console reporter. Its exit code is the run's (see
// ConsoleReporter.h).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/ExportEngine.h"
#include "export/OutputFile.h"
#include "framework/Barrier.h"
#include "framework/Text.h"
#include "platform/Console.h"
#include "platform/Files.h"
#include "qmexport/CommandLine.h"
#include "qmexport/ConsoleReporter.h"
#include "qmexport/DriftReport.h"
#include "qmexport/FolderOutput.h"
#include "qmexport/Password.h"
#include "QuillmarkVersion.h"

namespace {

using Console::Stream;

// The export's texts are UTF-8: a terminal gets them as characters, a file or pipe as bytes.
void WriteTo(Stream stream, const std::string& strText)
{
    Console::Write(stream, strText);
}

// Clears the password's bytes when the run is over.
class PasswordWiper {
public:
    explicit PasswordWiper(CString& strPassword) : m_strPassword(strPassword) {}
    ~PasswordWiper()
    {
        if (!m_strPassword.IsEmpty())
            Console::Wipe(m_strPassword.GetBuffer(), size_t(m_strPassword.GetLength()));
        m_strPassword.Empty();
    }
    PasswordWiper(const PasswordWiper&) = delete;
    PasswordWiper& operator=(const PasswordWiper&) = delete;

private:
    CString& m_strPassword;
};

// How reading a file went.
enum class FileRead { Read, Missing, Failed };

// The file scanned in pieces; for Failed, nError is the system's reason, taken at the call that
// failed.
FileRead ScanFile(const std::wstring& strPath, DriftReport::FileScan& scan, SystemError& nError)
{
    if (Files::ReadPieces(
            strPath,
            [&scan](const char* pBytes, size_t nLength) {
                scan.Add(pBytes, nLength);
                return true;
            },
            nError)) {
        scan.Finish();
        return FileRead::Read;
    }
    return nError == SystemErrors::kFileNotFound || nError == SystemErrors::kPathNotFound
               ? FileRead::Missing
               : FileRead::Failed;
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
            DriftReport::FileScan scan(rendered.Blocks());
            SystemError nError = 0;
            const FileRead read = ScanFile(strPath, scan, nError);
            if (read == FileRead::Failed) {
                strReason = FromWide(strPath, kUtf8CodePage) + ": " + SystemErrorText(nError).str();
                return false;
            }
            lines = DriftReport::FileLines(FromWide(strPath, kUtf8CodePage), read == FileRead::Read,
                                           scan, rendered.Content(), rendered.Blocks());
            return true;
        };
        chosen.sink = std::move(file);
        return chosen;
    }
    auto folder = std::make_unique<FolderOutput>(
        line.strFolder, line.objectNames.empty(), line.kinds,
        [](const std::string& strLine) { WriteTo(Stream::Error, strLine + "\n"); },
        line.bAsciiNames ? kAsciiCodePage : kSystemCodePage,
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
        WriteTo(Stream::Error, "qmexport: the file cannot be read: " + strReason + "\n");
        return kExitFailed;
    }
    std::string strOut;
    for (const std::string& strLine : lines)
        strOut += strLine + "\n";
    WriteTo(Stream::Output, strOut);
    return lines.empty() ? kExitDone : kExitDrift;
}

int Run(int argc, char** argv)
{
    CommandLine line;
    std::string strError;
    if (!CommandLine::Parse(Console::Arguments(argc, argv), line, strError)) {
        WriteTo(Stream::Error, "qmexport: " + strError + "\n\n" + CommandLine::UsageText());
        return kExitUsage;
    }
    if (line.bVersion) {
        WriteTo(Stream::Output, "qmexport " QUILLMARK_VERSION "\n");
        return kExitDone;
    }
    if (line.bHelp) {
        WriteTo(Stream::Output, CommandLine::UsageText());
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
                return StopRequest::ExitCode();
            WriteTo(Stream::Error,
                    "qmexport: the password cannot be read: " + strReason.str() + "\n");
            return kExitLogon;
        }
    }
    if (StopRequest::Flag().load())
        return StopRequest::ExitCode();

    const ChosenSink chosen = MakeSink(line);
    ExportSink& sink = *chosen.sink;

    const ProgressStyle style = line.bQuiet                          ? ProgressStyle::Quiet
                                : Console::IsTerminal(Stream::Error) ? ProgressStyle::StatusLine
                                                                     : ProgressStyle::LinePerObject;
    ConsoleReporter reporter(
        StopRequest::Flag(), style,
        [](const std::string& strText) { WriteTo(Stream::Error, strText); }, sink);
    if (line.bCheck)
        reporter.SetChecking();
    const ExportEnding ending = RunExport(params, sink, reporter);
    if (ending.result == ExportResult::Stopped) {
        reporter.Stopped();
        return StopRequest::ExitCode();
    }
    if (line.bCheck && ending.result == ExportResult::Done)
        return ReportDrift(chosen);
    return ExitCodeOf(ending);
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return Run(argc, argv);
    } catch (...) {
        RecordCaughtException("qmexport");
        WriteTo(Stream::Error,
                "qmexport: unexpected failure: " + LastCaughtException().str() + "\n");
        return kExitFailed;
    }
}
