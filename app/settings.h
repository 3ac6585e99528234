// The settings file "Ombrastel.ini" in the working directory: the text language and the
// link controls of the panel, kept between runs.
#pragma once

#include <string>

#include "platform/settings_file.h"

// Applies the settings file at path to the panel's link controls and to `language`.
// A missing or unreadable file changes nothing. Only a regular file is read (a link is
// followed to it); anything else counts as missing, with one line on standard error.
void ReadSettingsFile(int panel, const std::string& path = kSettingsFile);

// Brings `language` into 1..3; anything else becomes 3.
void CorrectLanguage();

// The five lines the settings file holds for the present language and panel.
std::string SettingsText(int panel);

// Replaces the contents of the settings file at path with SettingsText. The new text goes
// to a temporary file in the file's folder that is then renamed over the old one, so the
// old file stays whole until the new one is complete. A symbolic link is written through:
// its target's contents change, the link stays. The file is written in place instead when
// the folder refuses a new file, or when a renamed file could not keep the old one's owner
// or its other hard links. What is not a regular file is never written. False when the
// new text is not in the file, which is then said on standard error; the old file is then
// as it was.
bool WriteSettingsFile(int panel, const std::string& path = kSettingsFile);

// The box that tells the operator the settings were not saved, in the program's language.
void ShowSettingsNotWritten(const std::string& path = kSettingsFile);
