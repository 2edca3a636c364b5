// The demo product's install.exe. Started by the installer from the extraction folder with the
// installer's command line; "dest=FOLDER" (last word of it) names where the product goes,
// C:\Quorel\Demo otherwise. Copies the product's files there and records what it did in
// install.log beside them. Exit code 0 when every file was copied, 1 otherwise.
#include <windows.h>

#include "support/Text.h"

namespace {

enum { kPathCapacity = MAX_PATH };

const char* const kProductFiles[] = {"lisezmoi.txt", "donnees.dat"};

// The text after "dest=" up to the end of the command line: a folder may hold blanks.
void Destination(const char* commandLine, char* folder, int capacity) {
    const char* value = TextFindKey(commandLine, "dest=", 0, 0);
    TextCopy(folder, value ? value : "C:\\Quorel\\Demo", capacity);
}

struct Log {
    char text[2048] = {};
    void Add(const char* line) {
        TextAppendWithin(text, sizeof text, line);
        TextAppendWithin(text, sizeof text, "\r\n");
    }
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    Log log;
    char line[kPathCapacity + 64];
    TextFormat(line, sizeof line, "Ligne de commande : %s", commandLine);
    log.Add(line);
    char here[kPathCapacity] = {};
    GetCurrentDirectoryA(sizeof here, here);
    TextFormat(line, sizeof line, "Dossier courant : %s", here);
    log.Add(line);

    char folder[kPathCapacity];
    Destination(commandLine, folder, sizeof folder);
    CreateDirectoryA(folder, nullptr);
    int failures = 0;
    for (const char* name : kProductFiles) {
        char target[kPathCapacity];
        int fits = TextFormat(target, sizeof target, "%s\\%s", folder, name) < kPathCapacity - 1;
        int copied = fits && CopyFileA(name, target, FALSE);
        TextFormat(line, sizeof line, "%s %s -> %s",
                   copied ? "Copi\xE9"
                          : "\xC9"
                            "chec",
                   name, target);
        log.Add(line);
        failures += copied ? 0 : 1;
    }
    log.Add(failures ? "Installation incompl\xE8"
                       "te"
                     : "Installation termin\xE9"
                       "e");
    TextFormat(line, sizeof line, "Code de sortie : %d", failures ? 1 : 0);
    log.Add(line);

    char logPath[kPathCapacity];
    TextFormat(logPath, sizeof logPath, "%s\\install.log", folder);
    HANDLE file = CreateFileA(logPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, log.text, TextLength(log.text), &written, nullptr);
        CloseHandle(file);
    }
    return failures ? 1 : 0;
}
