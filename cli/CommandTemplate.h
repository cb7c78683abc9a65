#pragma once

#include <iosfwd>
#include <string_view>

// Checks the placeholders of the template a run names its copies by. One given with --template
// must hold only known ones: an unknown one ("%artst%") throws CliError (bad usage) naming it and
// listing the known ones. A template saved by the window keeps the window's rule, under which an
// unknown placeholder stands as it is; that is said once on `warnings`.
void CheckTemplatePlaceholders(std::string_view fileFormat, bool given, std::ostream& warnings);
