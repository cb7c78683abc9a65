#include "FolderTemplate.h"

#include "CliError.h"

#include <string>

void CheckFolderTemplate(std::string_view fileFormat)
{
    if (fileFormat.empty())
        return;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = fileFormat.find('/', start);
        if (slash == start || start == fileFormat.size())
            throw CliError("--template: \"" + std::string(fileFormat) + "\" has an empty folder or file name part");
        if (slash == std::string_view::npos)
            return;
        start = slash + 1;
    }
}
