#pragma once
// Feedback for refused input: the short warning sound, and the filter that
// keeps characters outside CP1251 out of free-text edits.

#include <functional>

class QLineEdit;

using TBeepHook = std::function<void()>;

// Sounds the warning beep (through the installed hook, if any).
void MessageBeep();
// Installs a replacement for the real beep (tests count with it); an empty
// hook restores the real one. Answers the previous hook.
TBeepHook SetBeepHook(TBeepHook hook);

// Refuses typed or pasted characters that CP1251 cannot hold; a refused
// key beeps.
void InstallCp1251Filter(QLineEdit* edit);
