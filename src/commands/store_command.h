#pragma once

#include "files/store_model.h"

class CQpgDoc;

// The Store command ("&Store..."): the model opens with the Store range the
// project prepares and its file name; Store writes the S-record file;
// StoreBack hands range and file name back to the project.
class CStoreCommand {
public:
    explicit CStoreCommand(CQpgDoc& doc);

    bool Store(COperationView& view, CMessageBox& box) { return model.Store(view, box); }
    bool StoreBack();

    CStoreModel model;

private:
    CQpgDoc& doc_;
};
