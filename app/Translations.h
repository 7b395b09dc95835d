// Translations of the program's texts, carried as resources and chosen from a language.
#pragma once

class QLocale;

// Installs the program's translation and Qt's own for the locale's user-interface languages
// (for the system locale: LANGUAGE, then LC_ALL, LC_MESSAGES, LANG). A language without a
// translation leaves the English source texts. Returns whether the program's own was found.
// Thread: UI; the translators live as long as the application object.
bool InstallTranslations(const QLocale& locale);
// Removes what InstallTranslations installed (tests switch languages in one process).
void RemoveTranslations();
