#pragma once

// What the flash step plans before it sends anything: the flash array of the
// project, the image's pieces inside each sector, the bytes of a sector the
// image leaves alone, and the dry run's lines.

#include "flash/sector_cover.h"
#include "project/memory_range.h"

#include <vector>

class CCliSession;

// The project's flash array (device nullptr when the memory type is not in
// the catalogue).
SFlashArray CliFlashArray(CCliSession& session);
// The parts of `ranges` (sorted, not overlapping) inside `sector`.
std::vector<CMemoryRange> CliPiecesIn(const SFlashSector& sector, const std::vector<CMemoryRange>& ranges);
// The parts of `sector` that `ranges` (sorted, not overlapping) leave out.
std::vector<CMemoryRange> CliGapsIn(const SFlashSector& sector, const std::vector<CMemoryRange>& ranges);
// --dry-run: the sectors a step would erase and the spans it would program,
// on standard output, with a last line that says nothing was sent.
void CliPrintDryRun(const char* step, const std::vector<SFlashSector>& erase, const std::vector<CMemoryRange>& program);
