#include "CommandTemplate.h"

#include "CliError.h"
#include "ExtraPlaceholders.h"

#include <ostream>
#include <string>

void CheckTemplatePlaceholders(std::string_view fileFormat, bool given, std::ostream& warnings)
{
    const std::vector<std::string> unknown = UnknownPlaceholders(fileFormat);
    if (unknown.empty())
        return;
    std::string names;
    for (const std::string& name : unknown)
        names += (names.empty() ? "" : ", ") + name;
    if (given)
        throw CliError("--template: unknown placeholder " + names + "; known placeholders: " + KnownPlaceholderList());
    warnings << "varnel-cli: warning: the saved template \"" << fileFormat << "\" holds " << names
             << ", which no placeholder names; it stands in the names as it is\n";
}
