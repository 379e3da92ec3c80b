#include "commands/init_list_command.h"

bool CInitListCommand::Import(const std::string& text, std::string& errors)
{
    CCodeList parsed;
    if (!parsed.ParseLines(text, errors))
        return false;
    list = std::move(parsed);
    return true;
}
