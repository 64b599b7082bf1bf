// A realistic week of card history for the sample entry file and the screenshots.
#pragma once

#include "card/EntryInfo.h"

// Oldest first: a charge, commuter fares on JR and Tokyu lines, a bus ride, a
// shop purchase, a reissue and a fare not claimed.
CEntryList MakeSampleEntries();
