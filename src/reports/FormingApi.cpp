#include "reports/FormingApi.h"

TFormingCalls& FormingCalls()
{
    static TFormingCalls calls;
    return calls;
}
