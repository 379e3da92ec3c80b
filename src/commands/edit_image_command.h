#pragma once

#include "files/edit_image_model.h"

class CQpgDoc;

// The Edit Memory Image command ("&Edit..."): the editor opens in the
// project's unit at its stored address, in the target's byte order;
// StoreBack keeps unit and address for the next time.
class CEditImageCommand {
public:
    explicit CEditImageCommand(CQpgDoc& doc);

    bool StoreBack();

    CEditImageModel model;

private:
    CQpgDoc& doc_;
};
