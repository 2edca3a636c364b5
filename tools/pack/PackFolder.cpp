#include "tools/pack/PackFolder.h"

#include "support/CodePage1252.h"
#include "support/FileName.h"
#include "support/FileTimeInfo.h"
#include "tools/pack/ArchiveWriter.h"
#include "tools/pack/RegularFile.h"

#include <stdio.h>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;

namespace {

bool Fail(std::string* error, const std::string& reason) {
    *error = reason;
    return false;
}

uint8_t FoldCp1252(uint8_t c) {
    if (c >= 'a' && c <= 'z') return uint8_t(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return uint8_t(c - 32);
    switch (c) {
    case 0x9A: // s caron
    case 0x9C: // oe
    case 0x9E: // z caron
        return uint8_t(c - 16);
    case 0xFF: // y diaeresis
        return 0x9F;
    }
    return c;
}

} // namespace

bool NextCodePoint(const std::string& text, size_t* at, uint32_t* code) {
    return Utf8Next(text.data(), text.size(), at, code) != 0;
}

namespace {

struct FolderFile {
    std::string name; // as the entry's name: code page 1252
    fs::path path;
    uint64_t size = 0;
};

bool ReadOrderFile(const std::string& path, std::vector<std::string>* names, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Fail(error, "cannot read order file " + path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::string name;
        if (!EntryName(line, &name, error)) return false;
        names->push_back(name);
    }
    return !in.bad() || Fail(error, "cannot read order file " + path);
}

// The order file's names, each a file of the folder, once each, all files listed.
bool ApplyOrder(const std::string& orderFile, std::vector<FolderFile>* files, std::string* error) {
    std::vector<std::string> names;
    if (!ReadOrderFile(orderFile, &names, error)) return false;
    std::vector<FolderFile> ordered;
    for (size_t i = 0; i < names.size(); ++i) {
        auto named = [&](const FolderFile& f) { return f.name == names[i]; };
        auto found = std::find_if(files->begin(), files->end(), named);
        if (found == files->end())
            return Fail(error,
                        "order file names '" + names[i] + "', which is not a file of the folder");
        if (std::find(names.begin(), names.begin() + i, names[i]) != names.begin() + i)
            return Fail(error, "order file names '" + names[i] + "' twice");
        ordered.push_back(*found);
    }
    for (const FolderFile& f : *files)
        if (std::find(names.begin(), names.end(), f.name) == names.end())
            return Fail(error, "'" + f.name + "' is missing from the order file");
    *files = ordered;
    return true;
}

// The folder's regular files. A link, a subfolder or any other kind of file is refused, naming
// it, unless the options say to follow links or leave subfolders out: packing silently
// something else than what the folder shows, or less, would make a wrong installer.
bool ListFolder(const std::string& folder, const PackOptions& options,
                std::vector<FolderFile>* files, std::string* error) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return Fail(error, "no folder " + folder);
    std::vector<std::string> subfolders;
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string shown = it->path().u8string();
        fs::file_status status = it->symlink_status(ec);
        if (!ec && fs::is_symlink(status)) {
            if (!options.followSymlinks)
                return Fail(error,
                            shown + " is a symbolic link (--follow-symlinks packs its target)");
            status = it->status(ec);
        }
        if (ec) return Fail(error, "cannot read " + shown + ": " + ec.message());
        if (fs::is_directory(status)) {
            subfolders.push_back(it->path().filename().u8string());
            continue;
        }
        if (!fs::is_regular_file(status)) return Fail(error, shown + " is not a regular file");
        FolderFile f;
        f.path = it->path();
        if (!EntryName(f.path.filename().u8string(), &f.name, error)) return false;
        files->push_back(f);
    }
    if (ec) return Fail(error, "cannot list " + folder + ": " + ec.message());
    if (!subfolders.empty() && !options.skipSubfolders) {
        std::sort(subfolders.begin(), subfolders.end());
        std::string names;
        for (const std::string& name : subfolders)
            names += (names.empty() ? "" : ", ") + name;
        return Fail(error, "subfolders of " + folder + " are not packed: " + names +
                               " (give the folder that holds the product's files directly; "
                               "--skip-subfolders leaves subfolders out)");
    }
    if (files->empty()) return Fail(error, "no files in " + folder);
    std::sort(files->begin(), files->end(),
              [](const FolderFile& a, const FolderFile& b) { return a.name < b.name; });
    for (size_t i = 0; i < files->size(); ++i)
        for (size_t k = i + 1; k < files->size(); ++k)
            if (SameWindowsName((*files)[i].name, (*files)[k].name))
                return Fail(error, "names equal for Windows: " + (*files)[i].name + " and " +
                                       (*files)[k].name);
    return true;
}

struct EncodedEntry {
    bool ready = false;
    std::string error; // empty when entry holds the encoded entry
    std::vector<uint8_t> entry;
    CompressStats stats;
    std::exception_ptr exception; // running out of memory, thrown again where it is taken
};

void EncodeFile(const FolderFile& file, const PackOptions& options, EncodedEntry* out) {
    std::string shown = file.path.u8string();
    RegularFile read;
    if (!ReadRegularFile(shown, options.followSymlinks, kMaxEntryBytes, &read, &out->error)) return;
    uint64_t fileTime = options.fixedTime ? UnixToFileTime(options.time, 0) : read.fileTime;
    // Memory was planned for the size the folder listed.
    if (read.bytes.size() != file.size)
        out->error = shown + " changed while it was packed";
    else if (!EncodeDataEntry(file.name, WriteTimeInfo(fileTime), read.bytes, options.method,
                              options.level, &out->stats, &out->entry))
        out->error = "cannot encode " + shown;
}

// Encodes the files on a few threads and hands the entries over in the files' order. Memory
// stays bounded: at most two entries in flight (started and not yet taken) per thread, so a
// thread that finished early can start the next one while a long entry holds the head, and no
// more input bytes in flight than one entry may have, unless a single entry is all there is.
class EntryPool {
  public:
    EntryPool(const std::vector<FolderFile>& files, const PackOptions& options, size_t threads)
        : files_(files), options_(options), limit_(2 * threads), done_(files.size()) {
        for (size_t t = 0; t < threads; ++t) {
            try {
                threads_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                if (threads_.empty()) throw;
                break; // fewer threads, same archive
            }
        }
    }
    ~EntryPool() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        for (std::thread& t : threads_)
            t.join();
    }

    // Waits for entry i; entries are taken in order, each once.
    EncodedEntry Take(size_t i) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return done_[i].ready; });
        EncodedEntry taken = std::move(done_[i]);
        taken_ = i + 1;
        inFlightBytes_ -= files_[i].size;
        lock.unlock();
        changed_.notify_all();
        if (taken.exception) std::rethrow_exception(taken.exception);
        return taken;
    }

  private:
    bool CanStart() const {
        if (next_ - taken_ >= limit_) return false;
        return inFlightBytes_ == 0 || files_[next_].size <= kMaxEntryBytes - inFlightBytes_;
    }

    void Work() {
        for (;;) {
            size_t i;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return stop_ || next_ == files_.size() || CanStart(); });
                if (stop_ || next_ == files_.size()) return;
                i = next_++;
                inFlightBytes_ += files_[i].size;
            }
            EncodedEntry encoded;
            try {
                EncodeFile(files_[i], options_, &encoded);
            } catch (...) {
                encoded.exception = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                done_[i] = std::move(encoded);
                done_[i].ready = true;
            }
            changed_.notify_all();
        }
    }

    const std::vector<FolderFile>& files_;
    const PackOptions& options_;
    const size_t limit_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<EncodedEntry> done_;
    size_t next_ = 0;  // the next entry to start
    size_t taken_ = 0; // entries handed over
    uint64_t inFlightBytes_ = 0;
    bool stop_ = false;
    std::vector<std::thread> threads_; // last: started once everything else is in place
};

} // namespace

std::string WriteTimeInfo(uint64_t fileTime) {
    char text[kWriteTimeTextCapacity];
    WriteTimeText(fileTime, text, sizeof text);
    return text;
}

bool SameWindowsName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCp1252(uint8_t(a[i])) != FoldCp1252(uint8_t(b[i]))) return false;
    return true;
}

namespace {

// Why a name that is not plain is refused, so that the user knows what to rename.
const char* NameFaultText(int fault) {
    switch (fault) {
    case kNameEmpty:
        return "an empty name";
    case kNameControl:
        return "a control character";
    case kNameRefusedCharacter:
        return "a character Windows refuses in names (\\ / : * ? \" < > |)";
    case kNameTrailingDotOrSpace:
        return "a name ending in a dot or a space, which Windows strips";
    case kNameDevice:
        return "a device name Windows reserves (CON, PRN, AUX, NUL, COM1, LPT1...)";
    default:
        return "the form of a short alias (NAME~1.EXT), which may name another file";
    }
}

std::string CodePointText(uint32_t code) {
    char text[16];
    snprintf(text, sizeof text, "U+%04X", unsigned(code));
    return text;
}

} // namespace

bool EntryName(const std::string& fileName, std::string* name, std::string* error) {
    std::string converted;
    uint32_t code;
    for (size_t at = 0; at < fileName.size();) {
        size_t from = at;
        if (!NextCodePoint(fileName, &at, &code)) {
            converted = fileName; // not UTF-8: bytes of code page 1252 already
            break;
        }
        // A decomposed letter (e then U+0301) is the same name as the composed one (NFC).
        size_t next = at;
        uint32_t mark;
        if (next < fileName.size() && NextCodePoint(fileName, &next, &mark)) {
            if (uint32_t composed = ComposeForCp1252(code, mark)) {
                code = composed;
                at = next;
            }
        }
        int byte = Cp1252FromCode(code);
        if (byte < 0)
            return Fail(error, fileName + ": the character " + fileName.substr(from, at - from) +
                                   " (" + CodePointText(code) +
                                   ") has no form in code page 1252, which installer names use; "
                                   "rename the file");
        converted += char(byte);
    }
    if (converted.size() > kMaxEntryName)
        return Fail(error, "name longer than 63 bytes: " + fileName);
    if (int fault = FileNameFault(converted.c_str()))
        return Fail(error,
                    "not a plain file name for Windows: " + fileName + ": " + NameFaultText(fault));
    *name = converted;
    return true;
}

bool PackFolder(const std::string& folder, const PackOptions& options,
                std::vector<uint8_t>* archive, std::vector<std::string>* warnings,
                std::string* error) {
    if (options.method > kMethodCompressedInverted) return Fail(error, "method must be 0 to 3");
    std::vector<FolderFile> files;
    if (!ListFolder(folder, options, &files, error)) return false;
    if (!options.orderFile.empty() && !ApplyOrder(options.orderFile, &files, error)) return false;
    for (FolderFile& f : files) {
        std::error_code ec;
        f.size = fs::file_size(f.path, ec);
        if (ec) return Fail(error, "cannot read " + f.path.u8string() + ": " + ec.message());
        if (f.size > kMaxEntryBytes)
            return Fail(error,
                        f.path.u8string() + " is larger than an installer can hold (256 MiB)");
    }

    PackProgress progress;
    progress.fileCount = files.size();
    for (const FolderFile& f : files)
        progress.bytesTotal += f.size;
    // A first report before the first file, which may be a long one.
    if (options.progress) options.progress(progress);
    uint32_t threads = options.jobs ? options.jobs : std::thread::hardware_concurrency();
    EntryPool pool(files, options, std::max<size_t>(1, std::min<size_t>(threads, files.size())));
    ArchiveWriter writer;
    for (size_t i = 0; i < files.size(); ++i) {
        EncodedEntry encoded = pool.Take(i);
        if (!encoded.error.empty()) return Fail(error, encoded.error);
        writer.AddRaw(encoded.entry);
        const CompressStats& stats = encoded.stats;
        if (stats.fallback)
            warnings->push_back(files[i].path.u8string() +
                                ": compressed stream did not decode back (flags " +
                                std::to_string(stats.failedFlags) + ", error " +
                                std::to_string(stats.checkError) + "); stored uncompressed");
        if (writer.Bytes().size() > kMaxPayloadBytes)
            return Fail(error, "payload larger than an installer can hold (1 GiB)");
        progress.filesDone = i + 1;
        progress.bytesDone += files[i].size;
        if (options.progress) options.progress(progress);
    }
    *archive = writer.TakeBytes();
    return true;
}
