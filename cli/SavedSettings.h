#pragma once

#include "Settings.h"

// The settings the window saved for this user (the same store, the same rules: a template with a
// forbidden character gives the default). Throws CliError when the store holds a value that is
// not text, as the window refuses to start then.
Settings LoadSavedSettings();
