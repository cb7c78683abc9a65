#pragma once

#include <string_view>

// The command line's templates use "/" to make folders below the destination:
// "%artist%/%album%/%tracknumber% - %title%". Each part is expanded like a file name on its own,
// so a "/" inside a title still becomes "_" and no part can climb out of the destination folder
// (see NamePartsOf). Throws CliError when a part is empty (a leading, trailing or doubled "/").
void CheckFolderTemplate(std::string_view fileFormat);
