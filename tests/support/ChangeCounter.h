#pragma once
// Counts the change notices of a list: list.OnChange = counter.Event();

#include "foundation/TypeList.h"

class ChangeCounter : public TObject {
public:
    TNotifyEvent Event() { return TNotifyEvent(this, &ChangeCounter::Changed); }
    int calls = 0;

private:
    void Changed(TObject*) { ++calls; }
};
