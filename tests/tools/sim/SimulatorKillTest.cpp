#include <gtest/gtest.h>

#include <csignal>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <utility>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The simulator as a child process talking through pipes.
class Simulator
{
public:
    // fileSizeLimit: the largest file the simulator may write, 0 for no limit.
    explicit Simulator(const fs::path &outDir, rlim_t fileSizeLimit = 0)
    {
        int toChild[2];
        int fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0)
            throw std::runtime_error("pipe failed");
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(toChild[0], STDIN_FILENO);
            ::dup2(fromChild[1], STDOUT_FILENO);
            ::close(toChild[1]);
            ::close(fromChild[0]);
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            if (fileSizeLimit > 0)
                ::setrlimit(RLIMIT_FSIZE, &limit);
            ::execl(KPX2_SIM_PATH, KPX2_SIM_PATH, "--subject", "K1", "--out", outDir.c_str(), "--seed", "5",
                    static_cast<char *>(nullptr));
            ::_exit(127);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        m_in = ::fdopen(toChild[1], "w");
        m_out = ::fdopen(fromChild[0], "r");
    }
    ~Simulator()
    {
        if (m_in)
            std::fclose(m_in);
        if (m_out)
            std::fclose(m_out);
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    std::string readLine()
    {
        std::string line;
        for (int c = std::fgetc(m_out); c != EOF && c != '\n'; c = std::fgetc(m_out))
            line += static_cast<char>(c);
        return line;
    }
    void answer(const char *line)
    {
        std::fputs(line, m_in);
        std::fflush(m_in);
    }
    // The status once the simulator ends of itself.
    int wait()
    {
        std::fclose(std::exchange(m_in, nullptr));
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return status;
    }
    int killHard()
    {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return status;
    }

private:
    pid_t m_pid = -1;
    FILE *m_in = nullptr;
    FILE *m_out = nullptr;
};

TEST(SimulatorKilled, LeavesEveryAnsweredTrialInTheLog)
{
    const fs::path dir = fs::temp_directory_path() / ("kpx-kill-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    constexpr int answered = 23;
    {
        Simulator sim(dir);
        for (int i = 0; i < answered; ++i) {
            ASSERT_EQ(sim.readLine().rfind("TRIAL ", 0), 0u);
            sim.answer(i % 2 ? "I\n" : "D\n");
        }
        // The next trial is put only after the last answer is on disk.
        ASSERT_EQ(sim.readLine().rfind("TRIAL ", 0), 0u);
        const int status = sim.killHard();
        ASSERT_TRUE(WIFSIGNALED(status));
    }

    fs::path log;
    for (const auto &entry : fs::directory_iterator(dir))
        log = entry.path();
    ASSERT_TRUE(log.string().ends_with(".trials.csv")) << log;
    EXPECT_FALSE(fs::exists(dir / "K1.KPX"));

    std::ifstream in(log, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string line;
    int rows = -1; // the header
    while (std::getline(text, line)) {
        ASSERT_TRUE(line.ends_with("\r")) << "incomplete row: " << line;
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 23) << line; // 24 fields
        ++rows;
    }
    EXPECT_EQ(rows, answered);
    fs::remove_all(dir);
}

TEST(SimulatorFileSizeLimit, IsReportedAsAWriteFailureNotASignal)
{
    const fs::path dir = fs::temp_directory_path() / ("kpx-fsize-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    {
        // Room for the header and a few rows only.
        Simulator sim(dir, 1000);
        while (sim.readLine().rfind("TRIAL ", 0) == 0)
            sim.answer("D\n");
        const int status = sim.wait();
        EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 1);
    }
    fs::remove_all(dir);
}

} // namespace
