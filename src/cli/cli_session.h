#pragma once

#include "cli/cli_message_box.h"
#include "cli/cli_operation_view.h"
#include "project/memory_image.h"
#include "project/memory_range.h"

#include <memory>
#include <string>

// What the steps of one run share: the memory image, the physical memory
// range, the person-facing message box and operation view, and what a run
// must report at its end.
class CCliSession {
public:
    CCliSession(const CMemoryRange& physical, CCliMessageBox::EAnswer answer);
    ~CCliSession();
    CCliSession(const CCliSession&) = delete;
    CCliSession& operator=(const CCliSession&) = delete;

    // Creates the image's backing file in a private temporary directory, so
    // that runs side by side (a production line) never share one, with the
    // base at the physical range's start. False (message printed) on failure.
    bool OpenImage();

    CMemoryImage& Image() { return *image_; }
    const CMemoryRange& Physical() const { return physical_; }
    CCliMessageBox& Box() { return box_; }
    CCliOperationView& View() { return view_; }

    // A load put bytes outside the image window or the physical range.
    bool outsideSeen = false;

private:
    CMemoryRange physical_;
    CCliMessageBox box_;
    CCliOperationView view_;
    std::unique_ptr<CMemoryImage> image_;
    std::string dir_;
};
