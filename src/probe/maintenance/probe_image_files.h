#pragma once

#include <cstdint>
#include <string>

// The probe's firmware images and logic files in the program's directory,
// each named after its family with the three-digit version as extension
// ("QX7ARMFW.113", "ARMJED70.112").
class CProbeImageFiles {
public:
    static constexpr const char* kFirmwareFamily = "QX7ARMFW";
    static constexpr const char* kLogicFamily = "ARMJED70";
    static constexpr const char* kLogicFamilyC = "ARMJED71";

    explicit CProbeImageFiles(std::string directory) : directory_(std::move(directory)) {}

    const std::string& Directory() const { return directory_; }
    // The file of `family` for `version`; empty for an invalid version.
    std::string Path(const std::string& family, uint16_t version) const;
    // The highest version among the family's files: names "FAMILY." with an
    // extension of up to three characters, of which only exactly three
    // decimal digits count (their value, 300 included). 0 when none counts
    // or the directory cannot be listed.
    uint16_t Newest(const std::string& family) const;

private:
    std::string directory_;
};
