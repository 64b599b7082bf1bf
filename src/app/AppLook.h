// The looks the "AppLook" setting chooses between.
#pragma once

#include <cstdint>

enum class EAppLook {
    Classic,          // 32796
    OfficeXP,         // 32797
    Windows,          // 32798
    Office2003,       // 32799
    VS2005,           // 32800
    Office2007Blue,   // 32801, and any value not listed
    Office2007Black,  // 32802
    Office2007Silver, // 32803
    Office2007Aqua,   // 32804
};

EAppLook AppLookFromSetting(int32_t appLook);
// Installs the look's style and palette for the whole program.
void ApplyAppLook(EAppLook look);
