#pragma once

#include "files/load_model.h"

class CQpgDoc;
class CMessageBox;
class COperationView;

// The Load command ("&Load..."): the model starts with the project's program
// file, offset and autoload option; Load runs the readers into the image;
// StoreBack hands the three values back to the project (marking it modified
// when they changed). The Load dialog and tarvel-cli's load step both drive it.
class CLoadCommand {
public:
    explicit CLoadCommand(CQpgDoc& doc);

    // "&Load": the readers on the model's file name and offset.
    int Load(COperationView& view, CMessageBox& box);
    // The end of the command: the model's values go back into the project.
    bool StoreBack();

    // The autoload of an opened project without a dialog: loads the project's
    // program file and stores back. Fits CQpgDoc::autoloadHandler.
    static int RunAutoload(CQpgDoc& doc, COperationView& view, CMessageBox& box);

    CLoadModel model;

private:
    CQpgDoc& doc_;
};
