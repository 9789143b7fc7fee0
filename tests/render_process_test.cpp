// orvane-render as a process under faults: stop signals at chosen moments, resource limits set
// in the child, and outputs that are not plain files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;  // their shadow memory takes more than any limit here
#else
constexpr bool kSanitized = false;
#endif

// A user id nobody else has, for limits that root is not held to.
constexpr uid_t kStranger = 54321;
constexpr int kWaitMs = 60000;

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
            std::vector<char*> argv{const_cast<char*>(m_program.c_str())};
            for (const std::string& arg : args) {
                argv.push_back(const_cast<char*>(arg.c_str()));
            }
            argv.push_back(nullptr);
            execv(m_program.c_str(), argv.data());
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
    std::string m_program = ORVANE_RENDER;
};

// Reads count bytes, or fewer at the end; false when nothing came within the wait.
bool ReadFrom(int fd, std::size_t count, std::string& into)
{
    char buffer[65536];
    while (count > 0) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, kWaitMs) != 1) {
            return false;
        }
        const ssize_t got = read(fd, buffer, std::min(count, sizeof buffer));
        if (got <= 0) {
            return got == 0;
        }
        into.append(buffer, static_cast<std::size_t>(got));
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace

// True once the process's main thread waits in a write(2); false when that cannot be seen.
bool WaitsInWrite(pid_t pid)
{
    const std::string file = "/proc/" + std::to_string(pid) + "/syscall";
    for (int ms = 0; ms < kWaitMs; ++ms) {
        long call = -1;
        std::ifstream(file) >> call;
        if (call == SYS_write) {
            return true;
        }
        usleep(1000);
    }
    return false;
}

// The picture goes into a pipe that holds one page; the signal comes while the program waits
// to write the rest, its write interrupted before it could pass on a byte.
TEST_F(RenderProcess, EveryStopSignalDuringTheLastWriteEndsWithItsStatusAndAWholePicture)
{
    const std::size_t size = BmpSize(200, 200);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        const std::string pipe = InDir("picture.bmp");
        ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
        const int fd = open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
        fcntl(fd, F_SETPIPE_SZ, 4096);
        const pid_t pid = Start({"--size", "200x200", "--threads", "2", "-o", pipe});
        pollfd written{fd, POLLIN, 0};
        EXPECT_EQ(poll(&written, 1, kWaitMs), 1) << signal;
        EXPECT_TRUE(WaitsInWrite(pid)) << signal;
        kill(pid, signal);
        std::string picture;
        EXPECT_TRUE(ReadFrom(fd, size, picture)) << signal;
        close(fd);
        const Ended ended = Wait(pid);
        EXPECT_TRUE(ended.bExited) << signal << " " << ended.status;
        EXPECT_EQ(ended.status, 128 + signal) << ended.err;
        EXPECT_EQ(picture.size(), size) << signal;
        std::filesystem::remove(pipe);
    }
}

TEST_F(RenderProcess, ResourceLimitsEndInAMessageAndStatusOneNeverACrash)
{
    if (kSanitized) {
        GTEST_SKIP() << "a sanitizer's shadow memory does not fit these limits";
    }
    const auto limit = [](int resource, rlim_t bytes) {
        const rlimit value{bytes, bytes};
        setrlimit(resource, &value);
    };
    // Too little for the picture: said up front.
    const Ended small =
        Run({"--size", "1920x1080", "-o", InDir("big.bmp")}, [&] { limit(RLIMIT_DATA, 30 << 20); });
    EXPECT_TRUE(small.bExited);
    EXPECT_EQ(small.status, 1);
    EXPECT_NE(small.err.find("picture needs"), std::string::npos) << small.err;

    // No thread to be had beside the main one; root is not held to the limit, a stranger is.
    const Ended threadless = Run({"--size", "64x64", "-o", InDir("small.bmp")}, [&] {
        limit(RLIMIT_NPROC, 1);
        if (geteuid() == 0 && setresuid(kStranger, kStranger, kStranger) != 0) {
            _exit(125);
        }
    });
    EXPECT_TRUE(threadless.bExited);
    EXPECT_EQ(threadless.status, 1);
    EXPECT_NE(threadless.err.find("cannot start a thread"), std::string::npos) << threadless.err;

    // Enough for the tour and its film, though not for 31 whole frames: the plan takes the
    // data limit's measure.
    const Ended tour = Run({"--tour", "2", "--size", "1920x1080", "--prefix", InDir("t")},
                           [&] { limit(RLIMIT_DATA, 200 << 20); });
    EXPECT_TRUE(tour.bExited);
    EXPECT_EQ(tour.status, 0) << tour.err;
    EXPECT_EQ(std::filesystem::file_size(InDir("t_2.bmp")), BmpSize(1920, 1080));
}

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

#if ORVANE_HAS_VIDEO
// FFmpeg's hundred-odd libraries would cost every start: a video alone loads them, through the
// encoders' module, which lies at one path from the program wherever the program is.
TEST_F(RenderProcess, OnlyAVideoLoadsFfmpegFromTheModuleBesideTheProgram)
{
    const auto traceLoading = [] { setenv("LD_DEBUG", "files", 1); };
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--size", "8x8", "-o", InDir("p.bmp")},
          {"--tour", "1", "--size", "32x32", "--no-save"}}) {
        const Ended ended = Run(args, traceLoading);
        EXPECT_EQ(ended.status, 0) << ended.err;
        EXPECT_EQ(ended.err.find("libavcodec"), std::string::npos) << args[0];
    }
    const Ended video =
        Run({"--tour", "1", "--size", "32x32", "--no-save", "--video", InDir("t.mkv")},
            traceLoading);
    EXPECT_EQ(video.status, 0) << video.err;
    EXPECT_NE(video.err.find("orvane-video.so"), std::string::npos);
    EXPECT_NE(video.err.find("libavcodec"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(InDir("t.mkv")));

    // A copy of the program elsewhere has no module beside it.
    std::filesystem::create_directory(m_dir / "bin");
    m_program = InDir("bin/orvane-render");
    std::filesystem::copy_file(ORVANE_RENDER, m_program);
    const Ended alone =
        Run({"--tour", "1", "--size", "32x32", "--no-save", "--video", InDir("u.mkv")});
    EXPECT_EQ(alone.status, 2);
    EXPECT_NE(alone.err.find("--video is not available: cannot load " + m_dir.string()),
              std::string::npos)
        << alone.err;
    EXPECT_NE(alone.err.find("orvane-video.so"), std::string::npos) << alone.err;
    EXPECT_FALSE(std::filesystem::exists(InDir("u.mkv")));
}
#endif
