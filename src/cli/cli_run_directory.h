#pragma once

#include <csignal>
#include <cstdint>
#include <string>

// The private directory of one tarvel-cli run ("tarvel-cli-PID-XXXXXX" in the
// image directory), and the promise that nothing of the run stays behind:
//
// - The memory image's file is made there and its name deleted at once (the
//   run keeps it open), so no end of the run can leave it behind.
// - Standard input for `load -` is kept there, bounded, and removed after the
//   load, at the end of the run and on SIGINT, SIGTERM, SIGHUP and SIGPIPE;
//   those signals also remove the file a save or store was writing.
// - A run killed outright (SIGKILL, a power cut) cannot clean up: the next run
//   in the same image directory removes the directories of runs whose process
//   is gone, and only the files a run makes there (a directory holding
//   anything else stays). Only this user's directories are looked at.
class CCliRunDirectory {
public:
    // What standard input may hold for `load -`: far more than any program
    // file for the 256 MiB image window, far less than a full disk.
    static constexpr uint64_t kMaxStandardInput = uint64_t{1} << 30;
    static constexpr const char* kPrefix = "tarvel-cli-";
    static constexpr const char* kStandardInputName = "standard-input";

    CCliRunDirectory() = default;
    ~CCliRunDirectory();
    CCliRunDirectory(const CCliRunDirectory&) = delete;
    CCliRunDirectory& operator=(const CCliRunDirectory&) = delete;

    // Removes what dead runs left in `parent`, makes this run's directory
    // there and sets the signal handlers. False with `error` on failure.
    bool Create(const std::string& parent, std::string& error);
    const std::string& Path() const { return path_; }

    // Copies standard input into the directory, at most kMaxStandardInput
    // bytes, and names the copy in `path`. False (message printed) when it
    // cannot be read or written, or is larger; the copy is then removed.
    bool SpoolStandardInput(std::string& path);
    // Removes the copy of standard input (after its load).
    void RemoveSpool();

    // The directories of runs in `parent` whose process is gone, with their
    // files, are removed; answers how many.
    static int RemoveLeftovers(const std::string& parent);

private:
    std::string path_;
};
