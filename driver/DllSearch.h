// Keeps the installer from loading DLLs out of the folder it was started from.
#pragma once

// Restricts the DLL search to the system folder (SetDefaultDllDirectories, looked up at run time
// since older systems lack it). 1 when restricted, 0 where the system cannot.
int RestrictDllSearch();
