#pragma once

#include <QString>

#include <cstdint>

// The Japanese name of a process kind code, or an empty text for a code without one.
QString ProcessKindName(uint8_t processKind);
