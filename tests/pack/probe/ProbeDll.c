/* A DLL whose ProbeValue reads through a pointer the linker filled in with an absolute address:
   it returns 22 only when the loader applied the base relocations. Linked at the image base of
   the probe programs that load it, so the loader must move it. */
static int table[3] = {11, 22, 33};
int* volatile slot = &table[1];

__declspec(dllexport) int ProbeValue(void) {
    return *slot;
}
