// Where the speech platform finds its engine data and its voice tokens.
#pragma once

#include <optional>
#include <string>

namespace lexavo::sp {

struct PlatformSettings {
    // Folder handed to the engine as its data location; empty means the engine's own default.
    std::string engineDataPath;
    // Folder of voice token files.
    std::string voicesFolder;
};

// Defaults: voices/ beside the program; overridden by the environment variables
// LEXAVO_ENGINE_DATA and LEXAVO_VOICES, then by SetPlatformSettings.
PlatformSettings CurrentPlatformSettings();
// For embedding programs and tests; std::nullopt returns to the defaults.
void SetPlatformSettings(std::optional<PlatformSettings> settings);

// The folder holding the running program file, without a trailing "/" ("" for "/").
std::string ProgramFolder();
// The folder part of a file's path: everything before its last "/".
std::string FolderOf(const std::string& filePath);

}  // namespace lexavo::sp
