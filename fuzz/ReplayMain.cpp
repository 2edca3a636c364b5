// Without libFuzzer: runs the fuzz target over every file in the folders or files given.
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <string>
#include <sys/stat.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static bool RunFile(const std::string& path) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) {
        fprintf(stderr, "cannot open %s\n", path.c_str());
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    fclose(file);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

int main(int argc, char** argv) {
    int files = 0;
    for (int a = 1; a < argc; ++a) {
        struct stat info;
        if (stat(argv[a], &info) != 0) {
            fprintf(stderr, "no such file or folder: %s\n", argv[a]);
            return 1;
        }
        if (!S_ISDIR(info.st_mode)) {
            if (!RunFile(argv[a])) return 1;
            ++files;
            continue;
        }
        DIR* dir = opendir(argv[a]);
        if (!dir) return 1;
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.') continue;
            if (!RunFile(std::string(argv[a]) + "/" + entry->d_name)) return 1;
            ++files;
        }
        closedir(dir);
    }
    printf("replayed %d inputs\n", files);
    return files > 0 ? 0 : 1;
}
