// Runs the built vantrel-boxsim as a process, as scripts and benches do.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "platform/unique_fd.h"
#include "tests/boxsim/tool_frames.h"
#include "tests/boxsim/tool_side.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using Frame = std::vector<std::uint8_t>;

// The program with its standard output and error on pipes.
class BoxSimProcess {
  public:
    explicit BoxSimProcess(std::vector<std::string> args) {
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "pipe2";
            return;
        }
        m_stdout.Reset(out[0]);
        m_stderr.Reset(err[0]);
        const UniqueFd outWrite(out[1]);
        const UniqueFd errWrite(err[1]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        args.insert(args.begin(), VANTREL_BOXSIM_EXE);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        if (::posix_spawn(&m_pid, VANTREL_BOXSIM_EXE, &actions, nullptr, argv.data(), environ) !=
            0) {
            ADD_FAILURE() << "cannot start " << VANTREL_BOXSIM_EXE;
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }

    ~BoxSimProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    // One line of standard output, without its line end.
    std::string ReadLine() {
        std::string line;
        char c = 0;
        while (ReadByte(m_stdout.Get(), c) && c != '\n') {
            line += c;
        }
        return line;
    }

    // Waits (5 s at most) for the program to end; its exit status, -1 if it
    // did not end, with what it wrote to standard output and error.
    int Wait(std::string& out, std::string& err) {
        char c = 0;
        while (ReadByte(m_stdout.Get(), c)) {
            out += c;
        }
        while (ReadByte(m_stderr.Get(), c)) {
            err += c;
        }
        // This C library's pidfd_open wrapper cannot be called from C++.
        const UniqueFd exited(static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0)));
        pollfd entry{exited.Get(), POLLIN, 0};
        int status = 0;
        if (::poll(&entry, 1, 5000) != 1 || ::waitpid(m_pid, &status, 0) != m_pid) {
            return -1;
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    static bool ReadByte(int fd, char& c) {
        pollfd entry{fd, POLLIN, 0};
        return ::poll(&entry, 1, 5000) > 0 && ::read(fd, &c, 1) == 1;
    }

    pid_t m_pid = -1;
    UniqueFd m_stdout;
    UniqueFd m_stderr;
};

std::string Exchange(test::ToolSide& tool, const Frame& frame) {
    tool.Send(frame);
    return tool.Read(3);
}

TEST(BoxSimProgram, ServesAnUpdateOnAPseudoTerminalAndSummarises) {
    const test::TempDir dir;
    const std::string out = dir.File("module.bin");
    BoxSimProcess program({"--boot-delay", "0", "--out", out});
    const std::string path = program.ReadLine();
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;

    test::ToolSide tool(path);
    const Frame module = test::MakeModule(5000);
    ASSERT_EQ(tool.Read(4), "BOOT");
    EXPECT_EQ(Exchange(tool, test::HandshakeFrame()), "ACK");
    EXPECT_EQ(Exchange(tool, test::HeaderFrame(module)), "ACK");
    for (std::uint32_t n = 0; n < test::BlockCountOf(module); ++n) {
        EXPECT_EQ(Exchange(tool, test::BlockFrame(module, n)), "ACK");
    }
    EXPECT_EQ(Exchange(tool, test::CommandFrame(kFrameMen)), "ACK");
    EXPECT_EQ(Exchange(tool, test::CommandFrame(kFrameGen)), "ACK");
    tool.Close();

    std::string summary;
    std::string errors;
    EXPECT_EQ(program.Wait(summary, errors), 0) << errors;
    EXPECT_EQ(summary.rfind("summary: update verified; 9 frames, 0 NAKs sent, 5219 bytes received, "
                            "31 bytes sent, ",
                            0),
              0u)
        << summary;
    std::ifstream written(out, std::ios::binary);
    EXPECT_EQ(Frame(std::istreambuf_iterator<char>(written), {}), module);
}

struct RefusedStartCase {
    std::vector<std::string> args;
    const char* message;
};

// Shows the arguments in test listings.
void PrintTo(const RefusedStartCase& c, std::ostream* out) {
    for (const auto& arg : c.args) {
        *out << arg << ' ';
    }
}

class BoxSimProgramRefusesTest : public ::testing::TestWithParam<RefusedStartCase> {};

TEST_P(BoxSimProgramRefusesTest, BadArgumentsExitWithStatus2) {
    BoxSimProcess program(GetParam().args);
    std::string out;
    std::string err;
    EXPECT_EQ(program.Wait(out, err), 2);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find(GetParam().message), std::string::npos) << err;
}

INSTANTIATE_TEST_SUITE_P(
    BoxSim, BoxSimProgramRefusesTest,
    ::testing::Values(
        RefusedStartCase{{"--baud", "fast"},
                         "vantrel-boxsim: error: --baud: 'fast' is not a baud rate"},
        RefusedStartCase{
            {"--readback", "/nonexistent/readback.bin"},
            "vantrel-boxsim: error: --readback: cannot read /nonexistent/readback.bin"}));

}  // namespace
}  // namespace vantrel
