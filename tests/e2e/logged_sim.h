#pragma once

// A qdx7000-sim process for the end-to-end tests, and small text helpers.

#include "cli_runner.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

inline bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

inline size_t Count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// A qdx7000-sim process on a free loopback port; its log (one line per host
// that connects and hangs up) is kept in NAME.err.
class CLoggedSim {
  public:
    CLoggedSim(const CTempDir& dir, const std::string& name, std::vector<std::string> options)
        : log_(dir.File(name + ".err")), process_(WithPort(std::move(options)), log_)
    {
        probe_ = Announced(process_, "listening");
        EXPECT_FALSE(probe_.empty()) << name << ": " << Log();
    }

    std::string Probe() const { return probe_; } // "127.0.0.1:PORT"
    std::string Log() const { return ReadFileBytes(log_); }
    size_t Connections() const { return Count(Log(), " connected"); }

  private:
    static std::vector<std::string> WithPort(std::vector<std::string> options)
    {
        options.insert(options.begin(), {"--port", "0"});
        return options;
    }

    std::string log_;
    CSimProcess process_;
    std::string probe_;
};

