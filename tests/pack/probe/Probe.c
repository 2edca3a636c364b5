/* Reports what the Windows loader finds in this program's own resources, or in those of the DLL
   named on the command line: the payload's size and hash, every resource (type, name, language,
   size, hash) and the image checksum as the system computes it. Tests write resources into it
   and compare. For a DLL it also reports where it was loaded and what its ProbeValue returns,
   which only comes out right when the loader applied the DLL's relocations. */
#include <windows.h>
#include <imagehlp.h>
#include <stdio.h>

static unsigned long Fnv1a(const unsigned char* bytes, DWORD length) {
    unsigned long hash = 2166136261u;
    DWORD i;
    for (i = 0; i < length; ++i)
        hash = (hash ^ bytes[i]) * 16777619u;
    return hash;
}

static void PrintName(const char* label, LPCSTR name) {
    if (IS_INTRESOURCE(name))
        printf(" %s=#%u", label, (unsigned)(ULONG_PTR)name);
    else
        printf(" %s=%s", label, name);
}

static BOOL CALLBACK OnLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language,
                                LONG_PTR unused) {
    HRSRC found = FindResourceExA(module, type, name, language);
    DWORD size = found ? SizeofResource(module, found) : 0;
    const unsigned char* bytes = found ? LockResource(LoadResource(module, found)) : NULL;
    (void)unused;
    printf("resource");
    PrintName("type", type);
    PrintName("name", name);
    printf(" lang=%u size=%lu fnv=%08lx\n", language, size, bytes ? Fnv1a(bytes, size) : 0ul);
    return TRUE;
}

static BOOL CALLBACK OnName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR unused) {
    (void)unused;
    EnumResourceLanguagesA(module, type, name, OnLanguage, 0);
    return TRUE;
}

static BOOL CALLBACK OnType(HMODULE module, LPSTR type, LONG_PTR unused) {
    (void)unused;
    EnumResourceNamesA(module, type, OnName, 0);
    return TRUE;
}

int main(int argc, char** argv) {
    char path[MAX_PATH];
    DWORD header = 0, computed = 0;
    HMODULE module = NULL;
    HRSRC payload;
    if (argc > 1) {
        int (*value)(void);
        module = LoadLibraryA(argv[1]);
        if (!module) {
            printf("module none\n");
            return 1;
        }
        value = (int (*)(void))GetProcAddress(module, "ProbeValue");
        printf("module base=%08lx value=%d\n", (unsigned long)(ULONG_PTR)module,
               value ? value() : -1);
    }
    payload = FindResourceA(module, MAKEINTRESOURCEA(1), "EXE_DATA");
    if (payload) {
        DWORD size = SizeofResource(module, payload);
        const unsigned char* bytes = LockResource(LoadResource(module, payload));
        printf("payload size=%lu fnv=%08lx\n", size, bytes ? Fnv1a(bytes, size) : 0ul);
    } else {
        printf("payload none\n");
    }
    EnumResourceTypesA(module, OnType, 0);
    GetModuleFileNameA(module, path, sizeof path);
    if (MapFileAndCheckSumA(path, &header, &computed) == CHECKSUM_SUCCESS)
        printf("checksum header=%08lx computed=%08lx\n", header, computed);
    else
        printf("checksum unavailable\n");
    return 0;
}
