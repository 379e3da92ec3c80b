#pragma once

#include "project/code_list.h"
#include "project/qpg_doc.h"

// An init list command (Main, Pre-/Post-Erase, Pre-/Post-Program list): the
// list opens as a copy of the project's; StoreBack replaces the project's
// list when the edited one differs.
class CInitListCommand {
public:
    CInitListCommand(CQpgDoc& doc, CQpgDoc::EInitList which) : list(doc.InitList(which)), doc_(doc), which_(which) {}

    // Replaces the list with the entries of its text form; false (with the
    // reasons, line by line, in `errors`) leaves the list as it was.
    bool Import(const std::string& text, std::string& errors);
    std::string Export() const { return list.ToLines(); }
    bool StoreBack() { return doc_.StoreBackInitList(which_, list); }
    // The list's name, the editor's caption ("Main Initlist", ...).
    const char* Name() const { return NameOf(which_); }
    static const char* NameOf(CQpgDoc::EInitList which);

    CCodeList list;

private:
    CQpgDoc& doc_;
    CQpgDoc::EInitList which_;
};
