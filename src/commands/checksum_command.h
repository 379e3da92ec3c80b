#pragma once

#include "files/checksum_model.h"

class CQpgDoc;

// The Checksum command ("C&hecksum..."): range, source unit, destination and
// destination unit from the project; Calculate sums, StoreSum writes the sum
// into the image; StoreBack hands the four values back.
class CChecksumCommand {
public:
    explicit CChecksumCommand(CQpgDoc& doc);

    bool Calculate(COperationView& view, CMessageBox& box) { return model.Calculate(view, box); }
    CChecksumModel::EStoreResult StoreSum(CMessageBox& box) { return model.Store(box); }
    bool StoreBack();

    CChecksumModel model;

private:
    CQpgDoc& doc_;
};
