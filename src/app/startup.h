#pragma once

class QSettings;
class QTranslator;

namespace StartUp {

// The interface language at start-up, from the key `language` of the settings
// file: absent, it is written as "English"; exactly "Chinese" loads the
// catalogue (AppPaths::translationFile(): translations/zh.qm relative to the
// working directory in a build tree) into `translator` and installs it when
// it loaded. Returns the language index for the main window: 1 for "Chinese"
// (loaded or not), 0 for anything else.
int applyLanguage(QSettings& settings, QTranslator& translator);

// Answers --help and --version on stdout before any window exists, so that
// they work on a terminal without a display (the manual page is made from
// them). Returns the exit code when it answered, -1 when the tool is to
// start.
int answerCommandLine(int argc, char* argv[]);

} // namespace StartUp
