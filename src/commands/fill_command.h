#pragma once

#include "files/fill_model.h"

class CQpgDoc;

// The Fill command ("&Fill..."): range, pattern and unit from the project;
// Fill writes the pattern into the image; StoreBack hands the three back.
class CFillCommand {
public:
    explicit CFillCommand(CQpgDoc& doc);

    bool Fill(COperationView& view, CMessageBox& box) { return model.Fill(view, box); }
    bool StoreBack();

    CFillModel model;

private:
    CQpgDoc& doc_;
};
