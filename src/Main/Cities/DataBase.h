#pragma once
#include "Main/Cities/CityRecord.h"
#include "Main/Cities/DataBaseKinds.h"

// (Re)builds one side of a city's database from the city's data files; the number of entries appended.
int BuildDataBase(DataBaseKind kind, bool bFemale, CityRecord& city);
