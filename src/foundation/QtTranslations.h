#pragma once
// Qt's own texts (its print, file, colour and font dialogs, the standard
// buttons, the edits' context menus) in Russian, from the translations
// that Debian's Qt package installs into Qt's translations folder.

// Installs them into the running application once; false when they are
// not installed (Qt then speaks English) or there is no application.
bool InstallQtTranslations();
// Takes them out again (tests that need English texts back).
void RemoveQtTranslations();
