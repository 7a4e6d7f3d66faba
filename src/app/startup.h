#pragma once

class QSettings;
class QTranslator;

namespace StartUp {

// The interface language at start-up, from the key `language` of the settings
// file: absent, it is written as "English"; exactly "Chinese" loads
// translations/zh.qm (relative to the working directory) into `translator`
// and installs it when it loaded. Returns the language index for the main
// window: 1 for "Chinese" (loaded or not), 0 for anything else.
int applyLanguage(QSettings& settings, QTranslator& translator);

extern const char* const kSettingsFile;
extern const char* const kTranslationFile;

} // namespace StartUp
