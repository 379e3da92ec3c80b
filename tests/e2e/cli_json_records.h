#pragma once

#include "cli_runner.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

// The --json records of a run, one object per line. Every record is checked
// against the published schema (docs/tarvel-cli-json.schema.json) with
// Debian's JSON Schema validator; a line that does not parse or a record
// the schema refuses fails the test.
inline std::vector<nlohmann::json> Records(const std::string& text)
{
    CTempDir dir;
    WriteFileBytes(dir.File("records.json"), text);
    int status = -1;
    const std::string faults =
        ShellOutput("/usr/bin/python3 '" + std::string(TARVEL_SOURCE_DIR) + "/tests/e2e/check_json_records.py' '" +
                        std::string(TARVEL_SOURCE_DIR) + "/docs/tarvel-cli-json.schema.json' '" +
                        dir.File("records.json") + "' 2>&1",
                    &status);
    EXPECT_TRUE(status == 0 && faults.empty()) << faults << "\n" << text;

    std::vector<nlohmann::json> records;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        EXPECT_FALSE(j.is_discarded()) << line;
        records.push_back(j);
    }
    return records;
}
