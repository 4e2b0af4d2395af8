#pragma once
// A test seam of the table layer: a function called after every call that
// writes or may write a table file (a file made, a statement that changes
// rows, a script such as BEGIN or COMMIT, a rename, a delete), and by the
// copies that must survive a crash, once a block written. The crash
// harness counts these calls and kills its process at a chosen one. Unset
// in the program: each call costs one test of a pointer.

enum class DbCall { CreateFile, Exec, Step, Rename, Remove, Write };

using DbCallHook = void (*)(DbCall call);

// nullptr removes the hook.
void SetDbCallHook(DbCallHook hook);

namespace DbCallHookDetail {
extern DbCallHook hook;
} // namespace DbCallHookDetail

inline void NoteDbCall(DbCall call)
{
    if (DbCallHookDetail::hook)
        DbCallHookDetail::hook(call);
}
