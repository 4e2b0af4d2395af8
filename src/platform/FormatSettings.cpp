#include "platform/FormatSettings.h"

const TFormatSettings& FormatSettings()
{
    static const TFormatSettings settings;
    return settings;
}
