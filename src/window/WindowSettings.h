#pragma once
// The settings file as the window uses it: read once at the start and replaced once at the end. The link's
// section is the converter's; the window's own section holds the last folder and, once the user has moved or
// resized the window, its place. Beside it a termination leaves an unsaved command list.
#include "device/EibConverter.h"
#include "device/IniFile.h"
#include "window/CommandListDocument.h"
#include "window/Layout.h"

#include <optional>
#include <string>

namespace zelo {

// Where a termination leaves an unsaved command list: beside the settings file.
std::string RecoveryFileName(const std::string& settingsFileName);

class WindowSettings {
public:
    // Reads the file (empty name: nothing is kept); its errors end the window's start.
    explicit WindowSettings(const std::string& fileName) : File_(fileName) {}

    // False when there is no configuration folder: the settings live in memory only.
    bool Kept() const { return !File_.FileName().empty(); }
    const std::string& RecoveryFile() const { return RecoveryFile_; }
    // The link's settings into the converter, the last folder into the document, the window's place.
    void Load(TEibConverter& converter, CommandListDocument& document);
    // Where the window first showed: its place is kept only once it differs.
    void Shown(const std::optional<layout::Placement>& placement) { StartPlacement_ = placement; }
    // Where the window was when it was last ended after the user moved or resized it.
    const std::optional<layout::Placement>& SavedPlacement() const { return SavedPlacement_; }
    // Writes what is in force, the window's place as it is now, and replaces the file once.
    void Save(const TEibConverter& converter, CommandListDocument& document,
              const std::optional<layout::Placement>& placement);

private:
    SettingsFile File_;
    std::string RecoveryFile_ = Kept() ? RecoveryFileName(File_.FileName()) : std::string();
    std::optional<layout::Placement> SavedPlacement_;
    std::optional<layout::Placement> StartPlacement_;
};

} // namespace zelo
