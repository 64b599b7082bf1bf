#include "app/AppLook.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace {

struct LookColours {
    const char* style;
    QRgb window;
    QRgb button;
    QRgb highlight;
    QRgb midlight;   // the light 3-D colour: zebra rows and form backgrounds
};

LookColours ColoursOf(EAppLook look)
{
    switch (look) {
    case EAppLook::Classic:
        return {"Windows", 0xd4d0c8, 0xd4d0c8, 0x0a246a, 0xe8e6e1};
    case EAppLook::OfficeXP:
        return {"Fusion", 0xf1efe2, 0xf1efe2, 0x316ac5, 0xf7f6ef};
    case EAppLook::Windows:
        return {"Windows", 0xf0f0f0, 0xf0f0f0, 0x3399ff, 0xe3e3e3};
    case EAppLook::Office2003:
        return {"Fusion", 0xc3daf9, 0xdde9fa, 0x316ac5, 0xe8f0fc};
    case EAppLook::VS2005:
        return {"Fusion", 0xece9d8, 0xece9d8, 0x316ac5, 0xf5f3ea};
    case EAppLook::Office2007Black:
        return {"Fusion", 0x9ea3aa, 0xc9cdd2, 0x4f5b6b, 0xe6e8eb};
    case EAppLook::Office2007Silver:
        return {"Fusion", 0xd0d4dd, 0xe4e7ee, 0x6d7f99, 0xeef0f4};
    case EAppLook::Office2007Aqua:
        return {"Fusion", 0xc4d9e4, 0xdbe9f0, 0x3f8cb0, 0xe9f2f6};
    case EAppLook::Office2007Blue:
        break;
    }
    return {"Fusion", 0xc4d8f0, 0xdde8f6, 0x3b74c0, 0xe6eef9};
}

} // namespace

EAppLook AppLookFromSetting(int32_t appLook)
{
    switch (appLook) {
    case 32796:
        return EAppLook::Classic;
    case 32797:
        return EAppLook::OfficeXP;
    case 32798:
        return EAppLook::Windows;
    case 32799:
        return EAppLook::Office2003;
    case 32800:
        return EAppLook::VS2005;
    case 32802:
        return EAppLook::Office2007Black;
    case 32803:
        return EAppLook::Office2007Silver;
    case 32804:
        return EAppLook::Office2007Aqua;
    default:
        return EAppLook::Office2007Blue;
    }
}

void ApplyAppLook(EAppLook look)
{
    const LookColours colours = ColoursOf(look);
    if (QStyle* style = QStyleFactory::create(QString::fromLatin1(colours.style))) {
        QApplication::setStyle(style);
    }
    QPalette palette(QColor(colours.button), QColor(colours.window));
    palette.setColor(QPalette::Highlight, QColor(colours.highlight));
    palette.setColor(QPalette::Midlight, QColor(colours.midlight));
    QApplication::setPalette(palette);
}
