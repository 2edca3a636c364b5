#include "driver/InstallCommand.h"

#include "support/Text.h"
#include "support/Unicode.h"

namespace {

// All or nothing: a piece that does not fit empties the output.
int AppendAll(char* output, int capacity, const char* const* pieces, int count) {
    for (int i = 0; i < count; ++i) {
        if (pieces[i][0] && !TextAppendWithin(output, capacity, pieces[i])) {
            output[0] = 0;
            return 0;
        }
    }
    return 1;
}

} // namespace

int JoinFolderFile(const char* folder, const char* name, char* output, int capacity) {
    if (capacity < 1) return 0;
    output[0] = 0;
    int length = TextLength(folder);
    const char* separator = (length > 0 && folder[length - 1] == '\\') ? "" : "\\";
    const char* pieces[] = {folder, separator, name};
    return AppendAll(output, capacity, pieces, 3);
}

int QuoteCommand(const char* program, const char* arguments, char* output, int capacity) {
    if (capacity < 1) return 0;
    output[0] = 0;
    const char* args = arguments ? arguments : "";
    const char* pieces[] = {"\"", program, "\"", args[0] ? " " : "", args};
    return AppendAll(output, capacity, pieces, 5);
}

const char* SkipProgramName(const char* commandLine) {
    if (!commandLine) return "";
    const char* at = commandLine;
    int quoted = 0;
    for (; *at && (quoted || (*at != ' ' && *at != '\t')); ++at) {
        if (*at == '"') quoted = !quoted;
    }
    while (*at == ' ' || *at == '\t')
        ++at;
    return at;
}

int AutoConfirms(const char* commandLine) {
    char head[255 * 3 + 1];
    const char* line = commandLine ? commandLine : "";
    TextCopy(head, line, Utf8PrefixBytes(line, 255) + 1);
    return TextSearch(head, "auto=1", 1, 0) != 0;
}

int FindLogPath(const char* commandLine, char* path, int capacity) {
    if (capacity < 1) return 0;
    path[0] = 0;
    if (!commandLine) return 0;
    for (const char* at = commandLine; *at; ++at) {
        if (at != commandLine && at[-1] != ' ' && at[-1] != '\t') continue;
        // Compared a byte at a time: the comparison stops at the terminator.
        if (at[0] != 'l' || at[1] != 'o' || at[2] != 'g' || at[3] != '=') continue;
        const char* value = at + 4;
        int quoted = *value == '"';
        value += quoted;
        int length = 0;
        while (value[length] &&
               (quoted ? value[length] != '"' : value[length] != ' ' && value[length] != '\t'))
            ++length;
        if (length == 0 || length >= capacity || (quoted && !value[length])) return 0;
        for (int i = 0; i < length; ++i)
            path[i] = value[i];
        path[length] = 0;
        return 1;
    }
    return 0;
}
