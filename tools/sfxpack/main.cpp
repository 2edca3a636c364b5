// sfxpack: makes and reads payload archives and installers.
#include "tools/sfxpack/CommandLine.h"

#include <stdio.h>
#include <string.h>

namespace {

struct Command {
    const char* name;
    const char* synopsis; // arguments after the command's name
    const char* summary;  // one line
    const char* details;  // options, one per line; may be empty
    int (*run)(int argc, char** argv);
};

// One row per command.
const Command kCommands[] = {
    {"list", "FILE", "List the entries of an archive or an installer .exe",
     "  prints index, method word, stored length, decoded size, name (tab-separated); names\n"
     "  are shown in UTF-8, a control or unassigned byte as \\xNN\n"
     "  FILE - is standard input (as for verify and extract)\n"
     "  exit 1 when a checkword mismatch or a damaged entry stopped the walk\n",
     CmdList},
    {"info", "FILE", "Show what an installer carries besides its files",
     "  prints the payload's size and, for an installer, its execution level, the sizes of\n"
     "  the icon Explorer shows and its version strings, one 'key: value' a line,\n"
     "  and its run options: wait, cleanup, or none (exe --wait, --cleanup)\n",
     CmdInfo},
    {"verify", "FILE [--max-entry-size N]",
     "Decode every entry of an archive or an installer .exe and check it",
     "  --max-entry-size N  refuse an entry whose decoded size is above N bytes before\n"
     "                      taking memory for it (default 268435456, pack's limit)\n"
     "  exit 0 only when every entry decodes to its decoded size; each fault is named, by\n"
     "  index and name\n",
     CmdVerify},
    {"extract", "FILE -C DIR [--max-entry-size N]",
     "Write the files that the installer would extract, with their times",
     "  -C DIR              folder to write into (must exist)\n"
     "  --max-entry-size N  as for verify\n"
     "  an entry that fails (checkword, decoding, size, name) gets no file; exit 1 names it\n"
     "  names are written in UTF-8 (on Windows, as they are)\n",
     CmdExtract},
    {"decompress", "IN OUT --size N", "Decode one raw compressed stream",
     "  --size N  the decoded size of the stream\n"
     "  on a decoding error prints the error code and writes no OUT (exit 1); OUT as pack's\n",
     CmdDecompress},
    {"compress", "IN OUT [--stages auto|none|p|b|r|pb|pr|br|pbr] [--level N | -N]",
     "Encode one raw compressed stream, the smallest the allowed stages give",
     "  --stages S  auto (default): every combination, the smallest kept; none: a plain copy;\n"
     "              otherwise exactly these stages (p prefix-class, b back-references, r runs)\n"
     "  --level N   1 (fastest) to 9 (smallest), also written -1 to -9; default 3\n"
     "  the stream is decoded again before it is written; bad input exits 2; OUT as pack's\n",
     CmdCompress},
    {"pack", "DIR -o OUT [--method 0|1|2|3] [--order FILE] [--jobs N] [--level N | -N]",
     "Make a payload archive from the regular files directly in DIR",
     "  -o OUT          the archive to write\n"
     "  --method M      method word of every entry (default 3: names inverted, data compressed)\n"
     "  --order FILE    entry order, one name a line, every file once (default: byte order)\n"
     "  --jobs N        threads encoding entries at once (default: one per processor);\n"
     "                  the archive is the same for any N\n"
     "  --level N       compression, 1 (fastest) to 9 (smallest), also written -1 to -9;\n"
     "                  default 3\n"
     "  --follow-symlinks  pack what links in DIR point to (default: a link is refused)\n"
     "  --skip-subfolders  leave subfolders out (default: they are refused, named)\n"
     "  progress is shown only when stderr is a terminal, unless -q\n"
     "  OUT may be - (standard output, not a terminal); an existing link, FIFO or character\n"
     "  device is written through, never replaced; OUT directly in DIR is refused\n"
     "  only regular files are packed: a FIFO, socket or device is refused\n"
     "  each entry's info text carries the file's last-write time (DWCL/DWCH)\n"
     "  limits: names of 63 bytes, 256 MiB a file, 1 GiB the archive; bad input exits 2\n",
     CmdPack},
    {"exe", "(DIR | --payload ARCHIVE) -o OUT.exe [--stub STUB.exe] [OPTIONS]",
     "Make an installer: the stub with the archive as its resource EXE_DATA 1",
     "  -o OUT.exe         the installer to write (as pack's OUT)\n"
     "  --payload ARCHIVE  an archive (or an installer whose payload is taken) instead of DIR\n"
     "  --method, --order, --jobs, --level  as for pack, with DIR\n"
     "  --follow-symlinks, --skip-subfolders  as for pack, with DIR\n"
     "  --stub STUB.exe    the stub; default, the first that exists of: <sfxpack's folder>/\n"
     "                     stub.exe, the installed one, the sibling win32 build's (see --version)\n"
     "  --elevation LEVEL  asInvoker, highestAvailable or requireAdministrator: the\n"
     "                     execution level written into the stub's manifest (default: the\n"
     "                     stub's own: asInvoker, or the level of an installer given as stub)\n"
     "  --icon FILE.ico    the icon Explorer shows, every image of the file kept\n"
     "  --version-info NAME=VALUE  a version string, repeatable; the stub's other strings stay.\n"
     "                     NAME is ProductName, CompanyName, FileVersion, ProductVersion,\n"
     "                     FileDescription, LegalCopyright, InternalName, OriginalFilename,\n"
     "                     Comments or LegalTrademarks; FileVersion and ProductVersion begin\n"
     "                     with a.b.c.d\n"
     "  --drop-signature   a signed stub (an installer) is refused unless this is given\n"
     "  --allow-incomplete build a payload the installer cannot install: by default exe\n"
     "                     refuses one without install.exe, without exactly one .kvr\n"
     "                     descriptor, whose descriptor has no Install= line or is not\n"
     "                     Windows-1252 text (a control or unassigned byte, or all of it\n"
     "                     UTF-8 with accents, or a UTF-8 byte-order mark)\n"
     "  --wait             the installer waits for install.exe and ends with its exit code;\n"
     "                     its own failures are 536870913 to 536870920, \"Quitter\" is 1602\n"
     "  --cleanup          --wait, then the installer removes what it extracted and its folder\n"
     "  an existing EXE_DATA resource is replaced, every other resource kept; bad input exits 2\n"
     "  SOURCE_DATE_EPOCH, when set, gives every time stamp written (files and PE header)\n",
     CmdExe},
};

// What every command takes, after its own options.
const char kEveryCommand[] =
    "  -q, --quiet    only faults and warnings on stderr\n"
    "  -v, --verbose  also one line per entry on stderr\n"
    "  on success one summary line (entries, bytes, ratio, output) goes to stderr, so that\n"
    "  stdout holds only what the command prints\n";

const Command* FindCommand(const char* name) {
    for (const Command& c : kCommands) {
        if (strcmp(c.name, name) == 0) return &c;
    }
    return nullptr;
}

void PrintOverview(FILE* out) {
    fprintf(out, "usage: sfxpack COMMAND [ARGS]\n\ncommands:\n");
    for (const Command& c : kCommands)
        fprintf(out, "  %-11s %s\n", c.name, c.summary);
    fprintf(out, "\n'sfxpack COMMAND --help' describes one command; 'sfxpack --version' gives the\n"
                 "version and the stub exe uses by default.\n");
}

void PrintVersion() {
    printf("sfxpack %s\n", SFX_VERSION);
    std::string stub, error;
    if (FindDefaultStub(&stub, &error))
        printf("stub: %s\n", stub.c_str());
    else
        printf("stub: none: %s\n", error.c_str());
}

void PrintCommandHelp(const Command& c) {
    printf("usage: sfxpack %s %s\n\n%s\n%s", c.name, c.synopsis, c.summary,
           c.details[0] ? "\n" : "");
    fputs(c.details, stdout);
    fputs(kEveryCommand, stdout);
}

// --help or -h before any "--" asks for the command's help.
bool AsksForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--") == 0) return false;
        if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "sfxpack: missing command (try 'sfxpack --help')\n");
        return kExitUsage;
    }
    if (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0) {
        PrintOverview(stdout);
        return kExitOk;
    }
    if (strcmp(argv[1], "--version") == 0) {
        PrintVersion();
        return kExitOk;
    }
    const Command* command = FindCommand(argv[1]);
    if (!command) {
        fprintf(stderr, "sfxpack: unknown command '%s' (try 'sfxpack --help')\n", argv[1]);
        return kExitUsage;
    }
    if (AsksForHelp(argc - 1, argv + 1)) {
        PrintCommandHelp(*command);
        return kExitOk;
    }
    return command->run(argc - 1, argv + 1);
}
