#include "SavedSettings.h"

#include "CliError.h"
#include "SettingsStore.h"

#include <stdexcept>
#include <string>

Settings LoadSavedSettings()
{
    try {
        return SettingsStore::Load(ScreenArea{});
    } catch (const std::runtime_error& e) {
        throw CliError(std::string("saved settings: ") + e.what() + " (give --template and --overwrite to do without them)");
    }
}
