#pragma once
#include "Main/Cities/CityRecord.h"

// Makes a city use the plug-in's data: rebuilds its databases, saves and refills its citizen and
// outfit lists, writes its female percentage into its global and publishes its citizen keyword.
// True when every refill succeeded.
bool ApplyDataToLocation(CityRecord& city);
