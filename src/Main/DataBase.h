#pragma once

// (Re)builds database iDBIndex (2 to 8) of a city from its data files; the number of entries
// appended, or -1 for an index or city that names no database.
int BuildDataBase(int iDBIndex, bool bFemale, int iLocationIndex);
