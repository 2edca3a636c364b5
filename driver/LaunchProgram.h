// Starts a program of the payload and, when asked, waits for its end while the windows stay
// responsive.
#pragma once

// path: the program file; arguments: none, or what follows its quoted path on the command
// line. 0 when the program cannot be started ("Erreur CreateProcess %d" on the process log
// channel); otherwise 1 without wait, and the program's exit code with wait, read once the
// process has ended (so a real exit code of 259 is not mistaken for a running program).
unsigned long LaunchProgram(const char* path, const char* arguments, int wait);
