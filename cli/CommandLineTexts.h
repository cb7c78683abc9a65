#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The texts of --version and --help, and the message for a command that does not exist.

// The version, the copyright and the licence, in one short paragraph.
std::string VersionText(std::string_view version);

// What ends --help: examples of `command` ("" for the program as a whole) and the exit statuses.
std::string HelpFooter(std::string_view command);

// The message for the first word of `args` (after the program's name) that should name a
// command and names none of `commands`; nullopt when there is no such word.
std::optional<std::string> UnknownCommandMessage(const std::vector<std::string>& args,
                                                 const std::vector<std::string>& commands);
