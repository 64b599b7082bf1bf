#include "card/ProcessKindName.h"

QString ProcessKindName(uint8_t processKind)
{
    switch (processKind) {
    case 0x01: return QStringLiteral("運賃支払");
    case 0x02: return QStringLiteral("チャージ");
    case 0x03: return QStringLiteral("磁気券購入");
    case 0x04: return QStringLiteral("精算");
    case 0x05: return QStringLiteral("入場精算");
    case 0x06: return QStringLiteral("改札窓口処理");
    case 0x07: return QStringLiteral("新規発行");
    case 0x08: return QStringLiteral("窓口控除");
    case 0x0D: return QStringLiteral("バス等");
    case 0x0F: return QStringLiteral("バス等");
    case 0x11: return QStringLiteral("再発行");
    case 0x13: return QStringLiteral("支払(新幹線利用)");
    case 0x14: return QStringLiteral("入場時オートチャージ");
    case 0x15: return QStringLiteral("出場時オートチャージ");
    case 0x1D: return QStringLiteral("他ICカード精算");
    case 0x1F: return QStringLiteral("バスチャージ");
    case 0x23: return QStringLiteral("バス等企画券購入");
    case 0x46: return QStringLiteral("物販");
    case 0x48: return QStringLiteral("特典チャージ");
    case 0x49: return QStringLiteral("現金チャージ");
    case 0x4A: return QStringLiteral("物販取消");
    case 0x4B: return QStringLiteral("入場物販");
    case 0x84: return QStringLiteral("他社精算");
    case 0x85: return QStringLiteral("他社入場精算");
    case 0x99: return QStringLiteral("現金併用精算");
    case 0xC6: return QStringLiteral("現金併用物販");
    case 0xCB: return QStringLiteral("入場現金併用物販");
    default: return QString();
    }
}
