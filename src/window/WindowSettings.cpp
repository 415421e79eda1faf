#include "window/WindowSettings.h"

namespace zelo {

std::string RecoveryFileName(const std::string& settingsFileName) {
    const std::string name = BaseName(settingsFileName);
    const std::size_t dot = name.rfind('.');
    const std::string stem = settingsFileName.substr(
        0, settingsFileName.size() - (dot == std::string::npos || dot == 0 ? 0 : name.size() - dot));
    return stem + "-recovered.txt";
}

void WindowSettings::Load(TEibConverter& converter, CommandListDocument& document) {
    const IniFile& ini = File_.Values();
    converter.LoadSettings(ini);
    document.LoadFolder(ini);
    const layout::Placement placed{ini.ReadInteger(WindowSettingsSection, "Left", 0),
                                   ini.ReadInteger(WindowSettingsSection, "Top", 0),
                                   {ini.ReadInteger(WindowSettingsSection, "Width", 0),
                                    ini.ReadInteger(WindowSettingsSection, "Height", 0)}};
    if (placed.Client.Width > 0 && placed.Client.Height > 0)
        SavedPlacement_ = placed;
}

void WindowSettings::Save(const TEibConverter& converter, CommandListDocument& document,
                          const std::optional<layout::Placement>& placement) {
    if (!Kept())
        return;
    IniFile& ini = File_.Values();
    converter.SaveSettings(ini);
    // The window's own section only once there is something in it: until then the file holds the link's
    // section alone, as it always did. The window's place only once the user has moved or resized it.
    document.StoreFolder(ini);
    if (StartPlacement_ && placement && *placement != *StartPlacement_ && placement != SavedPlacement_) {
        ini.WriteInteger(WindowSettingsSection, "Left", placement->X);
        ini.WriteInteger(WindowSettingsSection, "Top", placement->Y);
        ini.WriteInteger(WindowSettingsSection, "Width", placement->Client.Width);
        ini.WriteInteger(WindowSettingsSection, "Height", placement->Client.Height);
        SavedPlacement_ = placement;
    }
    File_.Save();
}

} // namespace zelo
