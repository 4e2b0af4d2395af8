#include "db/CallHook.h"

namespace DbCallHookDetail {
DbCallHook hook = nullptr;
} // namespace DbCallHookDetail

void SetDbCallHook(DbCallHook hook) { DbCallHookDetail::hook = hook; }
