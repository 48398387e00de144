// Keeps the process's DLL loading to the system folder.
#pragma once

namespace tavri::installer::win {

// From here on, a DLL loaded by name comes from the system folder only: never
// from the program's own folder (often a downloads folder holding whatever
// else was downloaded) nor the current one. Call it first: what loads before
// it searches the program's folder first. Returns false where Windows offers
// only the weaker form (XP, and Vista and 7 without update KB2533623): there
// the current folder is left out, the program's own folder is not.
bool loadSystemDllsOnly();

}  // namespace tavri::installer::win
