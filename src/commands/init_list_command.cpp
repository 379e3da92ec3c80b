#include "commands/init_list_command.h"

bool CInitListCommand::Import(const std::string& text, std::string& errors)
{
    CCodeList parsed;
    if (!parsed.ParseLines(text, errors))
        return false;
    list = std::move(parsed);
    return true;
}

const char* CInitListCommand::NameOf(CQpgDoc::EInitList which)
{
    switch (which) {
    case CQpgDoc::MainList:
        return "Main Initlist";
    case CQpgDoc::PreEraseList:
        return "Pre Erase Initlist";
    case CQpgDoc::PostEraseList:
        return "Post Erase Initlist";
    case CQpgDoc::PreProgramList:
        return "Pre Program Initlist";
    case CQpgDoc::PostProgramList:
        return "Post Program Initlist";
    }
    return "Target Init List";
}
