/* A DLL that a download folder could hold beside an installer. */
__declspec(dllexport) int Planted(void) { return 1; }
