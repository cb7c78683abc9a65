#include "CommandLineParsing.h"

#include <algorithm>
#include <cctype>

std::string UsageFirstFormatter::make_usage(const CLI::App* app, std::string name) const
{
    return CLI::Formatter::make_usage(app, std::move(name)) + "\n" + CLI::Formatter::make_description(app);
}

namespace {

const CLI::Option* FindLong(const CLI::App& app, const std::string& name)
{
    for (const CLI::Option* option : app.get_options()) {
        const std::vector<std::string>& names = option->get_lnames();
        if (std::find(names.begin(), names.end(), name) != names.end())
            return option;
    }
    return nullptr;
}

const CLI::Option* FindShort(const CLI::App& app, char letter)
{
    for (const CLI::Option* option : app.get_options()) {
        const std::vector<std::string>& names = option->get_snames();
        if (std::find(names.begin(), names.end(), std::string(1, letter)) != names.end())
            return option;
    }
    return nullptr;
}

// The long option of `app` that `arg` most likely meant: one whose name begins with what
// `arg` spells without its dashes, in any letter case ("-V", "-version", "--Vers").
std::string Suggestion(const CLI::App& app, const std::string& arg)
{
    std::string word = arg.substr(arg.find_first_not_of('-'));
    word = word.substr(0, word.find('='));
    std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_lnames()) {
            if (!word.empty() && name.rfind(word, 0) == 0)
                return " (did you mean --" + name + "?)";
        }
    }
    return {};
}

bool Known(const CLI::App& app, const std::string& arg)
{
    if (arg.rfind("--", 0) == 0)
        return FindLong(app, arg.substr(2, arg.find('=') == std::string::npos ? std::string::npos : arg.find('=') - 2));
    // A cluster of short flags ("-qh"); a short option that takes a value takes the rest.
    for (std::size_t i = 1; i < arg.size(); ++i) {
        const CLI::Option* option = FindShort(app, arg[i]);
        if (!option)
            return false;
        if (option->get_type_size() != 0)
            return true;
    }
    return true;
}

} // namespace

std::optional<std::string> UnknownOptionMessage(const std::vector<std::string>& args, CLI::App& app)
{
    const CLI::App* current = &app;
    bool inCommand = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--")
            return std::nullopt;
        if (arg.size() < 2 || arg.front() != '-') {
            if (!inCommand) {
                const std::vector<CLI::App*> named =
                    app.get_subcommands([&arg](const CLI::App* command) { return command->get_name() == arg; });
                if (!named.empty()) {
                    current = named.front();
                    inCommand = true;
                }
            }
            continue;
        }
        if (Known(*current, arg)) {
            // A value given as the next argument is no option, whatever it begins with.
            const CLI::Option* option = arg.rfind("--", 0) == 0 ? FindLong(*current, arg.substr(2)) : nullptr;
            if (option && option->get_type_size() != 0 && i + 1 < args.size())
                ++i;
            continue;
        }
        return "unknown option \"" + arg + "\"" + Suggestion(*current, arg) + " (see varnel-cli " +
               (inCommand ? current->get_name() + " " : std::string()) + "--help)";
    }
    return std::nullopt;
}
