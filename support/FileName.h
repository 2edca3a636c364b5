// Entry names become files in one folder: only plain file names may be written.
#pragma once

// 1 when name is a plain file name: not empty; no "\" "/" ":" (paths, drives, streams), no
// wildcard or other character Windows refuses in names, no control character; not ending in
// "." or " " (Windows strips those, so ".", ".." and ".. " would all name a folder); and not a
// reserved device name (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-COM9, LPT0-LPT9 and COM/LPT
// with a superscript 1, 2 or 3, with or without extension, in any letter case); and not in the
// form of a short alias (AUTOIN~1.EXE), which could name another entry's file.
int IsPlainFileName(const char* name);

// Why name is not a plain file name, by the rules above, in their order; kNamePlain when it is.
enum FileNameFaultCode {
    kNamePlain,
    kNameEmpty,
    kNameControl,            // a control character
    kNameRefusedCharacter,   // \ / : * ? " < > |
    kNameTrailingDotOrSpace, // Windows would strip it
    kNameDevice,             // a reserved device name
    kNameShortAlias,         // the form of a short alias
};
int FileNameFault(const char* name);
