#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

// Help that opens with its "Usage:" line, as Unix tools' help does, the description after it.
class UsageFirstFormatter : public CLI::Formatter {
public:
    std::string make_description(const CLI::App*) const override { return {}; }
    std::string make_usage(const CLI::App* app, std::string name) const override;
};

// The first option on the command line that `app` (or the command given) does not know, as a
// message that names it and, where it looks like one, the option meant: "-V" is no option of
// varnel-cli, "--version" is. Checked before parsing, so that an unknown option is not taken for
// a missing PATH or a missing command. nullopt when every option is known; stops at "--".
std::optional<std::string> UnknownOptionMessage(const std::vector<std::string>& args, CLI::App& app);
