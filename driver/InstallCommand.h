// The paths and command lines the install sequence starts programs with. Each is built whole
// or refused: a cut path names another program, a cut command line drops the user's options.
#pragma once

enum {
    kCommandLineCapacity = 512, // the installer's command line, at most 511 characters
    kFolderPathCapacity = 256,  // the extraction folder's path
    kProgramNameCapacity = 128, // an entry name the sequence starts (pre-install program)
    kProgramPathCapacity = kFolderPathCapacity + kProgramNameCapacity,
    // Quotes, a blank and the whole command line after a program path.
    kProgramCommandCapacity = kProgramPathCapacity + 3 + kCommandLineCapacity,
};

// folder, a backslash unless it ends in one, then name. 1, or 0 with output emptied when the
// result would not fit in capacity.
int JoinFolderFile(const char* folder, const char* name, char* output, int capacity);

// The program's path in quotes (a folder such as C:\Users\Jean Dupont holds a blank), then a
// blank and arguments when they are not empty. 1, or 0 with output emptied when it would not fit.
int QuoteCommand(const char* program, const char* arguments, char* output, int capacity);
