// orvane-render as a process under faults: outputs that are not plain files.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/image_layout.h"

namespace {

std::string Contents(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::size_t BmpSize(int width, int height)
{
    return 54 + ImageSize(width, height);
}

// How the program ended.
struct Ended {
    bool bExited = false;  // false: ended by a signal, whose number is status
    int status = 0;
    std::string out;
    std::string err;
};

class RenderProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/orvane_process_XXXXXX";
        m_dir = mkdtemp(pattern);
        std::filesystem::permissions(m_dir, std::filesystem::perms::all);  // any user writes
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string InDir(const std::string& name) const { return (m_dir / name).string(); }

    // Starts orvane-render with args as a fresh program would be started: every signal as
    // the system sets it. prepare runs in the child just before (limits, another user).
    pid_t Start(const std::vector<std::string>& args, const std::function<void()>& prepare = {})
    {
        const std::string out = InDir("stdout");
        const std::string err = InDir("stderr");
        const pid_t pid = fork();
        if (pid == 0) {
            for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
                std::signal(signal, SIG_DFL);
            }
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            if (!std::freopen(out.c_str(), "wb", stdout) ||
                !std::freopen(err.c_str(), "wb", stderr)) {
                _exit(126);
            }
            if (prepare) {
                prepare();
            }
            std::vector<char*> argv{const_cast<char*>(ORVANE_RENDER)};
            for (const std::string& arg : args) {
                argv.push_back(const_cast<char*>(arg.c_str()));
            }
            argv.push_back(nullptr);
            execv(ORVANE_RENDER, argv.data());
            _exit(127);
        }
        return pid;
    }

    Ended Wait(pid_t pid) const
    {
        int status = 0;
        waitpid(pid, &status, 0);
        const bool bExited = WIFEXITED(status);
        return {bExited, bExited ? WEXITSTATUS(status) : WTERMSIG(status),
                Contents(m_dir / "stdout"), Contents(m_dir / "stderr")};
    }

    Ended Run(const std::vector<std::string>& args, const std::function<void()>& prepare = {})
    {
        return Wait(Start(args, prepare));
    }

    std::filesystem::path m_dir;
};

}  // namespace

TEST_F(RenderProcess, APictureGoesWhereItsNameLeadsAndNeverTwiceToOneFile)
{
    // Standard output by its name: the picture alone reaches it, the summary goes to stderr.
    std::filesystem::create_symlink("/proc/self/fd/1", m_dir / "stdout.bmp");
    const Ended piped = Run({"--size", "8x8", "-o", InDir("stdout.bmp")});
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out.size(), BmpSize(8, 8));
    EXPECT_EQ(piped.out.substr(0, 2), "BM");
    EXPECT_NE(piped.err.find("-> "), std::string::npos);

    std::filesystem::create_symlink("x.bmp", m_dir / "y.bmp");
    for (const char* grid : {"x.bmp", "y.bmp"}) {
        const Ended twice = Run({"--size", "8x8", "-o", InDir("x.bmp"), "--grid", InDir(grid)});
        EXPECT_EQ(twice.status, 2) << grid;
        EXPECT_NE(twice.err.find("the same file"), std::string::npos) << twice.err;
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir / "x.bmp"));
}
