#pragma once

// flash --keep-unwritten: the bytes of the sectors to be erased that the
// image does not cover are read back, and until they are back in flash and
// verified they live in a restore file (S-records) in the user's state
// directory, not only in the run's memory. A run that dies in between (a
// second Ctrl-C, SIGKILL, a cut link) leaves the file; the next flash run
// names it and refuses to erase its sectors again before it is put back.

#include "project/memory_range.h"

#include <cstdint>
#include <string>
#include <vector>

class CMemoryImage;

struct SCliRestoreFile {
    std::string path;
    uint32_t first = 0; // lowest and highest address it holds
    uint32_t last = 0;
};

class CCliKeptBytes {
public:
    // $TARVEL_STATE_DIR, else $XDG_STATE_HOME/tarvel, else
    // $HOME/.local/state/tarvel.
    static std::string Directory();
    // The restore files of earlier runs in the directory.
    static std::vector<SCliRestoreFile> Leftovers();
    // Writes the image's bytes of `gaps` (sorted) to a new restore file and
    // makes it durable before it answers: its path, or empty with `error`.
    static std::string Save(CMemoryImage& image, const std::vector<CMemoryRange>& gaps, std::string& error);
    // The command that puts the bytes of `path` back with this run's
    // --project and --probe, and what to do after.
    static std::string RestoreHint(const std::string& path, const std::string& project, const std::string& probe);
};
