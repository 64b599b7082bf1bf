#include "card/FormatAmount.h"

#include "resources/StringTable.h"

QString FormatAmount(int32_t amount)
{
    const int32_t thousands = amount / 1000;
    const int32_t rest = amount - thousands * 1000;
    if (thousands != 0)
        return QString::asprintf("%2d,%03d", thousands, rest);
    return QString::asprintf("%6d", amount);
}

QString FormatYen(int32_t amount)
{
    return LoadResString(IDS_AMOUNT_YEN).arg(FormatAmount(amount));
}
