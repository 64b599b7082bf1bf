// The production service: each call goes straight to pcsc-lite.
#pragma once

#include "readers/PcscService.h"

#include <memory>

std::shared_ptr<IPcscService> MakePcscLiteService();
