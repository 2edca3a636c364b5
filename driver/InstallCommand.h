// The paths and command lines the install sequence starts programs with. Each is built whole
// or refused: a cut path names another program, a cut command line drops the user's options.
#pragma once

enum {
    kFolderPathCapacity = 256,  // the extraction folder's path
    kProgramNameCapacity = 128, // an entry name the sequence starts (pre-install program)
    kProgramPathCapacity = kFolderPathCapacity + kProgramNameCapacity,
};

// folder, a backslash unless it ends in one, then name. 1, or 0 with output emptied when the
// result would not fit in capacity.
int JoinFolderFile(const char* folder, const char* name, char* output, int capacity);

// The program's path in quotes (a folder such as C:\Users\Jean Dupont holds a blank), then a
// blank and arguments when they are not empty. 1, or 0 with output emptied when it would not fit.
int QuoteCommand(const char* program, const char* arguments, char* output, int capacity);

// What follows the program's name on a process command line (as GetCommandLine gives it): the
// name ends at the first blank or tab outside quotes; the blanks after it are skipped.
const char* SkipProgramName(const char* commandLine);

// 1 when "auto=1" (letter case significant) is in the first 255 characters (UTF-16 units, as
// Windows gives the command line) of commandLine: the user is not asked, and no failure message
// waits for a click.
int AutoConfirms(const char* commandLine);

// The PATH of "log=PATH" in commandLine: "log=" at its start or after a blank or tab, PATH up to
// the next blank or tab, or between the quotes that follow "log=". 1 with PATH in path; 0 with
// path empty without one, for an empty or unclosed quoted PATH, or one that would not fit in
// capacity (a cut path names another file).
int FindLogPath(const char* commandLine, char* path, int capacity);
