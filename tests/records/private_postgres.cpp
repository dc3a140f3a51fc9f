#include "tests/records/private_postgres.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace vantrel::test {
namespace {

constexpr const char* kSuperuser = "vantrel";

// The bin folder of the newest PostgreSQL installed the Debian way.
std::string FindServerPrograms() {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
        if (std::filesystem::exists(entry.path() / "bin" / "initdb")) {
            found.push_back(entry.path() / "bin");
        }
    }
    if (found.empty()) {
        throw std::runtime_error(
            "no PostgreSQL server programs under /usr/lib/postgresql/*/bin "
            "(the Debian package postgresql; tools/setup-deps.sh installs it)");
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return std::stoi(a.parent_path().filename().string()) <
               std::stoi(b.parent_path().filename().string());
    });
    return found.back().string();
}

}  // namespace

PrivatePostgres::PrivatePostgres(bool durable)
    : m_bin(FindServerPrograms()),
      m_data(m_dir.File("data")),
      m_log(m_dir.File("server.log")),
      m_durable(durable) {
    if (::geteuid() == 0) {
        const passwd* user = ::getpwnam("postgres");
        if (user == nullptr) {
            throw std::runtime_error(
                "running as root, and there is no user postgres to run the "
                "server as");
        }
        m_uid = static_cast<int>(user->pw_uid);
        m_gid = static_cast<int>(user->pw_gid);
        if (::chown(m_dir.Path().c_str(), user->pw_uid, user->pw_gid) != 0) {
            throw std::runtime_error("cannot give " + m_dir.Path().string() + " to postgres");
        }
    }
    Run({m_bin + "/initdb", "-D", m_data, "-U", kSuperuser, "-A", "trust", "-E", "UTF8",
         "--locale=C", "--no-sync"},
        "initdb");
    Start();
}

PrivatePostgres::~PrivatePostgres() {
    if (m_running) {
        try {
            Run({m_bin + "/pg_ctl", "-D", m_data, "-m", "immediate", "-w", "stop"}, "pg_ctl stop");
        } catch (const std::exception&) {
            // Its folder goes anyway; a server without it ends soon.
        }
    }
}

void PrivatePostgres::Start() {
    // A small server: tests run several at once.
    std::string settings = "-k " + m_dir.Path().string() +
                           " -c listen_addresses='' -c shared_buffers=16MB -c max_connections=20";
    if (!m_durable) {
        settings += " -c fsync=off -c synchronous_commit=off";
    }
    Run({m_bin + "/pg_ctl", "-D", m_data, "-l", m_log, "-o", settings, "-w", "-t", "60", "start"},
        "pg_ctl start");
    m_running = true;
}

void PrivatePostgres::Stop() {
    Run({m_bin + "/pg_ctl", "-D", m_data, "-m", "fast", "-w", "-t", "60", "stop"}, "pg_ctl stop");
    m_running = false;
}

std::string PrivatePostgres::Url() const {
    return "postgresql:///postgres?host=" + m_dir.Path().string() + "&user=" + kSuperuser;
}

std::string PrivatePostgres::AbsentServerUrl() const {
    return "postgresql:///postgres?host=" + m_dir.File("nobody-here") + "&user=" + kSuperuser;
}

void PrivatePostgres::Run(const std::vector<std::string>& argv, const char* what) {
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const std::string output = m_dir.File("programs.log");
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        const int log = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0666);
        if (log >= 0) {
            ::dup2(log, STDOUT_FILENO);
            ::dup2(log, STDERR_FILENO);
        }
        if (m_uid >= 0) {
            const gid_t gid = static_cast<gid_t>(m_gid);
            if (::setgroups(1, &gid) != 0 || ::setgid(gid) != 0 ||
                ::setuid(static_cast<uid_t>(m_uid)) != 0) {
                ::_exit(126);
            }
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (pid < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::ostringstream message;
        message << what << " failed";
        for (const std::string& log : {output, m_log}) {
            std::ifstream in(log);
            message << "\n--- " << log << ":\n";
            if (in) {
                message << in.rdbuf();
            }
        }
        throw std::runtime_error(message.str());
    }
}

}  // namespace vantrel::test
