#pragma once

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace vantrel::test {

// A PostgreSQL server of a test's own: a cluster made with initdb in a
// temporary folder, listening only on a Unix socket in that folder, run as
// the user postgres when the test runs as root (the server refuses root).
// Stopped and removed when the object goes.
class PrivatePostgres {
  public:
    // `durable`: fsync as a real server does, for figures; tests go without.
    explicit PrivatePostgres(bool durable = false);
    ~PrivatePostgres();
    PrivatePostgres(const PrivatePostgres&) = delete;
    PrivatePostgres& operator=(const PrivatePostgres&) = delete;

    // Both wait until the server has started or stopped; they throw with
    // the server's log when it does not.
    void Start();
    void Stop();

    // A URL of its database postgres, as the superuser.
    std::string Url() const;
    // A URL that names a socket folder with no server in it.
    std::string AbsentServerUrl() const;

  private:
    // Runs a server program (as the server's user) and waits for it; its
    // output goes to the log.
    void Run(const std::vector<std::string>& argv, const char* what);

    TempDir m_dir;
    std::string m_bin;
    std::string m_data;
    std::string m_log;
    bool m_durable;
    bool m_running = false;
    int m_uid = -1;
    int m_gid = -1;
};

}  // namespace vantrel::test
