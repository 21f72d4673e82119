// LinuxProcessTest.cpp
//
// qmexport as a Linux process: the rows only Linux has and the shared process tables do not
// hold (SIGINT and SIGTERM in the middle of a run are rows of ProcessTest.cpp's stop table). The
// password typed at a terminal (a pseudo-terminal here) without echo, and Ctrl+C or SIGTERM at
// that prompt (echo back on); no client library, and one built for another machine, named as
// such. The database is the demo's, made from scripts/demo-db.sql.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sqlite3.h"

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A folder for the test's files, with the demo database in it; gone afterwards.
class DemoFolder {
public:
    DemoFolder()
    {
        m_root = fs::temp_directory_path() / ("qm-linux-process-" + std::to_string(::getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        sqlite3* pDb = nullptr;
        const std::string strSql = ReadText(QM_DEMO_DB_SQL);
        EXPECT_FALSE(strSql.empty());
        EXPECT_EQ(sqlite3_open((m_root / "demo.sqlite").c_str(), &pDb), SQLITE_OK);
        char* pszError = nullptr;
        EXPECT_EQ(sqlite3_exec(pDb, strSql.c_str(), nullptr, nullptr, &pszError), SQLITE_OK)
            << (pszError != nullptr ? pszError : "");
        sqlite3_free(pszError);
        sqlite3_close(pDb);
    }
    ~DemoFolder() { fs::remove_all(m_root); }
    const fs::path& Root() const { return m_root; }

private:
    fs::path m_root;
};

// One qmexport process: its environment, arguments, and its standard error as a pipe (or a
// pseudo-terminal for standard input and error).
class Qmexport {
public:
    Qmexport(const DemoFolder& demo, std::vector<std::string> args, bool bTerminal,
             std::vector<std::string> environment = {})
    {
        // The row's own variables in place of the defaults of the same name.
        std::vector<std::string> env = environment;
        for (const std::string& strDefault :
             {std::string("LD_LIBRARY_PATH=" OCI_LITE_BIN_DIR), std::string("PATH=/usr/bin:/bin"),
              "OCI_LITE_HOME=" + demo.Root().string()}) {
            const std::string strName = strDefault.substr(0, strDefault.find('=') + 1);
            bool bGiven = false;
            for (const std::string& strVar : environment)
                bGiven = bGiven || strVar.compare(0, strName.size(), strName) == 0;
            if (!bGiven)
                env.push_back(strDefault);
        }
        args.insert(args.begin(), QMEXPORT_EXE);
        int fds[2] = {-1, -1};
        if (bTerminal) {
            m_pid = ::forkpty(&m_fd, nullptr, nullptr, nullptr);
        } else {
            EXPECT_EQ(::pipe(fds), 0);
            m_pid = ::fork();
        }
        if (m_pid == 0) {
            if (!bTerminal) {
                ::dup2(fds[1], STDERR_FILENO);
                const int nNull = ::open("/dev/null", O_RDONLY);
                ::dup2(nNull, STDIN_FILENO);
            }
            std::vector<char*> argv;
            for (std::string& strArg : args)
                argv.push_back(&strArg[0]);
            argv.push_back(nullptr);
            std::vector<char*> envp;
            for (std::string& strVar : env)
                envp.push_back(&strVar[0]);
            envp.push_back(nullptr);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        if (!bTerminal) {
            ::close(fds[1]);
            m_fd = fds[0];
        }
    }
    ~Qmexport()
    {
        if (m_pid > 0 && !m_bEnded) {
            ::kill(m_pid, SIGKILL);
            Wait();
        }
        if (m_fd >= 0)
            ::close(m_fd);
    }

    // Reads the output until it holds strText (true), or it ends (false).
    bool ReadUntil(const std::string& strText)
    {
        while (m_strOutput.find(strText) == std::string::npos) {
            pollfd poll{m_fd, POLLIN, 0};
            if (::poll(&poll, 1, 60000) <= 0)
                return false;
            char buffer[512];
            const ssize_t nRead = ::read(m_fd, buffer, sizeof(buffer));
            if (nRead <= 0)
                return false;
            m_strOutput.append(buffer, size_t(nRead));
        }
        return true;
    }
    void Type(const std::string& strText)
    {
        ASSERT_EQ(::write(m_fd, strText.data(), strText.size()), ssize_t(strText.size()));
    }
    bool TerminalEchoes() const
    {
        termios settings{};
        return ::tcgetattr(m_fd, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
    }
    void Signal(int nSignal) { ::kill(m_pid, nSignal); }
    // The exit code; the rest of the output is read first.
    int Wait()
    {
        ReadUntil(std::string(1, '\0'));
        int nStatus = 0;
        ::waitpid(m_pid, &nStatus, 0);
        m_bEnded = true;
        return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
    }
    const std::string& Output() const { return m_strOutput; }

private:
    pid_t m_pid = -1;
    int m_fd = -1;
    bool m_bEnded = false;
    std::string m_strOutput;
};

std::vector<std::string> FolderExport(const fs::path& folder)
{
    return {"--user", "scott", "--database", "demo", "--dir", folder.string(), "--kinds", "all"};
}

struct StopCase {
    int nSignal;
    int nExitCode;
};

TEST(TerminalPrompt, ReadsThePasswordWithoutEcho)
{
    DemoFolder demo;
    Qmexport run(demo,
                 {"--user", "scott", "--database", "demo", "--file",
                  (demo.Root() / "out.sql").string(), "--quiet"},
                 true);
    ASSERT_TRUE(run.ReadUntil("Password: "));
    EXPECT_FALSE(run.TerminalEchoes());
    run.Type("TIGER\n");
    EXPECT_EQ(run.Wait(), 0) << run.Output();
    EXPECT_EQ(run.Output().find("TIGER"), std::string::npos) << run.Output();
    EXPECT_NE(ReadText(demo.Root() / "out.sql").find("CREATE OR REPLACE"), std::string::npos);
}

TEST(TerminalPrompt, AStopSignalThereEndsAtOnceWithEchoBack)
{
    for (const StopCase& stop : {StopCase{SIGINT, 130}, StopCase{SIGTERM, 143}}) {
        DemoFolder demo;
        Qmexport run(
            demo,
            {"--user", "scott", "--database", "demo", "--file", (demo.Root() / "out.sql").string()},
            true);
        ASSERT_TRUE(run.ReadUntil("Password: "));
        EXPECT_FALSE(run.TerminalEchoes());
        run.Signal(stop.nSignal);
        EXPECT_EQ(run.Wait(), stop.nExitCode) << stop.nSignal;
        EXPECT_TRUE(run.TerminalEchoes()) << stop.nSignal;
        EXPECT_FALSE(fs::exists(demo.Root() / "out.sql"));
    }
}

// A folder on the library path holding a libclntsh.so for another machine (its ELF header only).
TEST(ClientLibrary, NoneOrAnotherMachinesIsNamedWithWhatToDo)
{
    DemoFolder demo;
    const fs::path empty = demo.Root() / "empty";
    const fs::path arm = demo.Root() / "arm64";
    fs::create_directories(empty);
    fs::create_directories(arm);
    unsigned char header[64] = {0x7f, 'E', 'L', 'F', 2, 1, 1};
    header[16] = 3;    // ET_DYN
    header[18] = 183;  // EM_AARCH64
    header[20] = 1;    // EV_CURRENT
    std::ofstream(arm / "libclntsh.so", std::ios::binary)
        .write(reinterpret_cast<const char*>(header), sizeof(header));

    const struct {
        fs::path folder;
        const char* pszExpected;
    } cases[] = {
        {empty, "libclntsh.so: cannot open shared object file: No such file or directory: install "
                "Oracle Instant Client and add its folder to LD_LIBRARY_PATH"},
        {arm, "libclntsh.so is a library for ARM64 and this program is for x86-64"},
    };
    for (const auto& row : cases) {
        Qmexport run(demo, FolderExport(demo.Root() / "out"), false,
                     {"QUILLMARK_PASSWORD=TIGER", "LD_LIBRARY_PATH=" + row.folder.string()});
        EXPECT_EQ(run.Wait(), 3) << run.Output();
        EXPECT_NE(run.Output().find("Can't load libclntsh.so\n"), std::string::npos)
            << run.Output();
        EXPECT_NE(run.Output().find(row.pszExpected), std::string::npos) << run.Output();
    }
}

}  // namespace
