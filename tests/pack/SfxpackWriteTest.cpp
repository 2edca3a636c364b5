// sfxpack pack and exe as a user runs them: outputs, determinism and bad input.
#include "tests/pack/PeTestSupport.h"
#include "tools/pack/ArchiveWriter.h"
#include "tools/pe/PeImage.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

std::string Sfxpack(const std::string& arguments) {
    return std::string(SFX_SFXPACK) + " " + arguments;
}

void SaveText(const std::string& path, const std::string& text);

// A folder of files to pack, made fresh; a .kvr gets a descriptor naming the product.
std::string MakeFolder(const std::string& name, const std::vector<std::string>& files) {
    std::string folder = ScratchPath(name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (size_t i = 0; i < files.size(); ++i)
        SaveFile(folder + "/" + files[i], RandomBytes(1000 * i + 10, unsigned(i)));
    for (const std::string& name : files)
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".kvr") == 0)
            SaveText(folder + "/" + name, "[Produit]\r\nInstall=Produit d'essai\r\n");
    return folder;
}

void SaveText(const std::string& path, const std::string& text) {
    SaveFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

TEST(SfxpackWrite, PackAndExeMakeTheSameDeterministicPayload) {
    std::string folder = MakeFolder("cli_good", {"setup.kvr", "AutoInst_a.exe", "install.exe"});
    std::string archive = ScratchPath("cli.arc"), archive2 = ScratchPath("cli2.arc");
    std::string stub = ProbePath("probe_reloc.exe");
    std::string fromDir = ScratchPath("cli_dir.exe"), fromArchive = ScratchPath("cli_arc.exe");
    ASSERT_EQ(RunCommand(Sfxpack("pack '" + folder + "' -o '" + archive + "' --jobs 1")).exitCode,
              0);
    ASSERT_EQ(RunCommand(Sfxpack("pack '" + folder + "' -o '" + archive2 + "' --jobs 4")).exitCode,
              0);
    EXPECT_EQ(LoadFile(archive), LoadFile(archive2));
    CommandResult r =
        RunCommand(Sfxpack("exe '" + folder + "' -o '" + fromDir + "' --stub '" + stub + "'"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = RunCommand(
        Sfxpack("exe --payload '" + archive + "' -o '" + fromArchive + "' --stub '" + stub + "'"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(LoadFile(fromDir), LoadFile(fromArchive));

    std::vector<uint8_t> installer = LoadFile(fromDir), payload = LoadFile(archive);
    size_t offset, length;
    std::string error;
    ASSERT_TRUE(FindPayloadInPe(installer, &offset, &length, &error)) << error;
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), installer.begin() + offset));
    EXPECT_EQ(length, payload.size());

    r = RunCommand(Sfxpack("list '" + fromDir + "'"));
    EXPECT_NE(r.out.find("AutoInst_a.exe\n"), std::string::npos) << r.out;
    EXPECT_LT(r.out.find("AutoInst_a.exe"), r.out.find("install.exe"));
    EXPECT_LT(r.out.find("install.exe"), r.out.find("setup.kvr"));
}

TEST(SfxpackWrite, DefaultStubIsLookedForBesideTheTool) {
    std::string alone = ScratchPath("alone");
    fs::remove_all(alone);
    fs::create_directories(alone);
    fs::copy_file(SFX_SFXPACK, alone + "/sfxpack");
    fs::permissions(alone + "/sfxpack", fs::perms::owner_all);
    std::string folder = MakeFolder("cli_stubless", {"a.kvr", "install.exe"});
    // A stub in the current folder's build tree is anyone's: it is never taken.
    fs::create_directories(alone + "/build/win32/bin");
    fs::copy_file(ProbePath("probe_last.exe"), alone + "/build/win32/bin/stub.exe");
    std::string command = "cd '" + alone + "' && ./sfxpack exe '" + folder + "' -o out.exe";
    CommandResult r = RunCommand(command);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("no stub found"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("share/loftsfx/stub.exe"), std::string::npos) << r.err;
    r = RunCommand("cd '" + alone + "' && ./sfxpack --version");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("stub: none"), std::string::npos) << r.out;

    fs::copy_file(ProbePath("probe_last.exe"), alone + "/stub.exe");
    r = RunCommand(command);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = RunCommand("cd '" + alone + "' && ./sfxpack --version");
    EXPECT_NE(r.out.find("stub: " + fs::canonical(alone).string() + "/stub.exe\n"),
              std::string::npos)
        << r.out;
    // An installer can serve as the payload's source too.
    r = RunCommand("cd '" + alone + "' && ./sfxpack exe --payload out.exe -o again.exe");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(LoadFile(alone + "/again.exe"), LoadFile(alone + "/out.exe"));
}

TEST(SfxpackWrite, BadInputExitsTwoWithOneLineAndNoOutput) {
    std::string good = MakeFolder("cli_ok", {"a.txt"});
    std::string empty = MakeFolder("cli_empty", {});
    std::string devices = MakeFolder("cli_device", {"aux.txt"});
    std::string twins = MakeFolder("cli_twins", {"Setup.exe", "SETUP.EXE"});
    std::string linked = MakeFolder("cli_link", {"a.txt"});
    fs::create_symlink("/etc/passwd", linked + "/passwd");
    std::string nested = MakeFolder("cli_nested", {"a.txt"});
    fs::create_directory(nested + "/data");
    std::string fifo = MakeFolder("cli_fifo", {"a.txt"});
    ASSERT_EQ(mkfifo((fifo + "/pipe").c_str(), 0600), 0);
    // Payloads the installer cannot install, each with one fault.
    std::string noProgram = MakeFolder("cli_no_program", {"setup.kvr", "a.txt"});
    std::string noDescriptor = MakeFolder("cli_no_kvr", {"install.exe"});
    std::string twoDescriptors = MakeFolder("cli_two_kvr", {"a.kvr", "b.kvr", "install.exe"});
    std::string noLine = MakeFolder("cli_no_line", {"setup.kvr", "install.exe"});
    SaveText(noLine + "/setup.kvr", "[Produit]\r\nVersion=2\r\n");
    std::string utf8 = MakeFolder("cli_utf8", {"setup.kvr", "install.exe"});
    SaveText(utf8 + "/setup.kvr", "Install=D\xC3\xA9mo\r\n");
    std::string bom = MakeFolder("cli_bom", {"setup.kvr", "install.exe"});
    SaveText(bom + "/setup.kvr", "\xEF\xBB\xBFInstall=Demo\r\n");
    std::string unassigned = MakeFolder("cli_unassigned", {"setup.kvr", "install.exe"});
    SaveText(unassigned + "/setup.kvr", "Install=D\x81mo\r\n");
    std::string chinese = MakeFolder("cli_chinese", {"\xE4\xB8\xAD\xE6\x96\x87.txt"});
    std::string stub = ProbePath("probe_last.exe");
    std::string notPe = ScratchPath("not_pe.exe");
    SaveFile(notPe, std::vector<uint8_t>(5000, 'M'));
    std::vector<uint8_t> wide = LoadFile(stub);
    size_t at;
    std::string error;
    ASSERT_TRUE(PeChecksumOffset(wide, &at, &error));
    wide[at - 64 - 20] = 0x64, wide[at - 64 - 19] = 0x86; // machine: x64
    std::string wideStub = ScratchPath("wide.exe");
    SaveFile(wideStub, wide);
    std::string archive = ScratchPath("cli_ok.arc");
    ASSERT_EQ(RunCommand(Sfxpack("pack '" + good + "' -o '" + archive + "'")).exitCode, 0);
    std::vector<uint8_t> damaged = LoadFile(archive);
    damaged.back() ^= 0x55;
    std::string damagedArchive = ScratchPath("damaged.arc");
    SaveFile(damagedArchive, damaged);
    ArchiveWriter tooLarge; // what pack refuses must not come in through --payload
    tooLarge.AddStored("big.bin", "", {1, 2, 3, 4}, int32_t(kMaxEntryBytes + 1), kMethodPlain);
    std::string tooLargeArchive = ScratchPath("too_large.arc");
    SaveFile(tooLargeArchive, tooLarge.Bytes());

    struct Row {
        std::string args;
        const char* why;
        const char* message;
    } rows[] = {
        {"pack '" + ScratchPath("none") + "'", "missing folder", "no folder"},
        {"pack '" + empty + "'", "empty folder", "no files"},
        {"pack '" + devices + "'", "device name", "not a plain file name"},
        {"pack '" + twins + "'", "names equal but for case", "names equal for Windows"},
        {"pack '" + linked + "'", "symbolic link", "passwd is a symbolic link"},
        {"exe '" + linked + "' --stub '" + stub + "'", "symbolic link, exe", "symbolic link"},
        {"pack '" + nested + "'", "subfolder", "not packed: data"},
        {"pack '" + fifo + "' --follow-symlinks", "FIFO", "pipe is not a regular file"},
        {"pack '" + good + "' --method 4", "method 4", "--method"},
        {"exe '" + noProgram + "' --stub '" + stub + "'", "no install.exe", "has no install.exe"},
        {"exe '" + noDescriptor + "' --stub '" + stub + "'", "no descriptor",
         "has no install descriptor"},
        {"exe '" + twoDescriptors + "' --stub '" + stub + "'", "two descriptors",
         "more than one install descriptor (b.kvr"},
        {"exe '" + noLine + "' --stub '" + stub + "'", "no Install= line",
         "setup.kvr has no line Install="},
        {"exe '" + utf8 + "' --stub '" + stub + "'", "UTF-8 descriptor", "saved as UTF-8"},
        {"exe '" + bom + "' --stub '" + stub + "'", "UTF-8 mark", "saved as UTF-8"},
        {"exe '" + unassigned + "' --stub '" + stub + "'", "unassigned byte",
         "not Windows-1252 text"},
        {"pack '" + chinese + "'", "no 1252 form", "the character \xE4\xB8\xAD (U+4E2D)"},
        {"pack '" + devices + "'", "reserved name's reason", "a device name Windows reserves"},
        {"pack '" + good + "' --jobs 0", "no threads", "--jobs"},
        {"exe '" + good + "' --jobs x --stub '" + stub + "'", "jobs not a number", "--jobs"},
        {"pack '" + good + "' --order '" + ScratchPath("none") + "'", "no order file", "order"},
        {"exe '" + good + "' --stub '" + notPe + "'", "stub not a PE file",
         "not a Windows executable"},
        {"exe '" + good + "' --stub '" + wideStub + "'", "64-bit stub", "not a 32-bit x86"},
        {"exe '" + good + "' --stub '" + ScratchPath("none") + "'", "missing stub", "cannot open"},
        {"exe --payload '" + damagedArchive + "' --stub '" + stub + "'", "damaged archive",
         "checkword"},
        {"exe --payload '" + tooLargeArchive + "' --stub '" + stub + "'",
         "entry above pack's limit", "entry 0 big.bin: decoded size 268435457 is above"},
        {"exe '" + good + "' --payload '" + archive + "' --stub '" + stub + "'",
         "folder and archive", "either DIR or --payload"},
    };
    std::string output = ScratchPath("out_dir");
    fs::remove_all(output);
    fs::create_directories(output);
    std::string target = output + "/out.bin";
    for (const Row& row : rows) {
        CommandResult r = RunCommand(Sfxpack(row.args + " -o '" + target + "'"));
        EXPECT_EQ(r.exitCode, 2) << row.why << ": " << r.err;
        EXPECT_NE(r.err.find(row.message), std::string::npos) << row.why << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << row.why << ": " << r.err;
        EXPECT_TRUE(fs::is_empty(output)) << row.why;
    }
}

// The flags that let links and subfolders through, and the progress line, which only a terminal
// shows.
TEST(SfxpackWrite, FlagsForLinksSubfoldersAndProgress) {
    std::string folder = MakeFolder("cli_flags", {"a.txt"});
    SaveFile(ScratchPath("linked.txt"), {'l', 'i', 'n', 'k'});
    fs::create_symlink(ScratchPath("linked.txt"), folder + "/b.txt");
    fs::create_directory(folder + "/data");
    std::string out = ScratchPath("flags.arc");
    std::string pack =
        Sfxpack("pack '" + folder + "' -o '" + out + "' --follow-symlinks --skip-subfolders");
    CommandResult r = RunCommand(pack);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    // One summary line on stderr, none with -q.
    EXPECT_EQ(r.err.rfind("sfxpack pack: 2 entries, 14 bytes in ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("%), written to " + out + "\n"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    r = RunCommand(pack + " -q");
    EXPECT_EQ(r.out + r.err, "");
    r = RunCommand(Sfxpack("list '" + out + "'"));
    EXPECT_NE(r.out.find("\ta.txt\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\tb.txt\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("data"), std::string::npos) << r.out;

    // On a terminal: files, bytes and rate, unless --quiet.
    r = RunCommand("script -qec \"" + pack + "\" /dev/null");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("2/2 files, 14 B of 14 B, "), std::string::npos) << r.out;
    r = RunCommand("script -qec \"" + pack + " --quiet\" /dev/null");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "");
}

// The output goes through a new file of its own: a link planted where the temporary file used to
// be named is never followed, the output gets the usual permissions and a failed rename leaves
// no temporary file behind.
TEST(SfxpackWrite, OutputNeverFollowsAPlantedLink) {
    std::string folder = MakeFolder("cli_plant_in", {"a.txt"});
    std::string dir = ScratchPath("cli_plant");
    fs::remove_all(dir);
    fs::create_directories(dir + "/taken/x");
    SaveFile(dir + "/victim", {'v'});
    // The shell's pid is sfxpack's once it execs.
    std::string command = "cd '" + dir +
                          "' && umask 022 && sh -c 'ln -s victim out.sfxpack-$$.tmp; exec " +
                          Sfxpack("pack \"" + folder + "\" -o out") + "'";
    CommandResult r = RunCommand(command);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(LoadFile(dir + "/victim"), std::vector<uint8_t>{'v'});
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir + "/out")));
    EXPECT_EQ(fs::status(dir + "/out").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);

    r = RunCommand(Sfxpack("pack '" + folder + "' -o '" + dir + "/taken'"));
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("taken is a folder"), std::string::npos) << r.err;
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 4u); // taken, victim, out and the planted link
}

// An existing special file or link at -o is written through, never replaced; "-" is standard
// output; an output directly in the packed folder is refused; a missing folder is named as the
// user gave it.
TEST(SfxpackWrite, OutputsThatAreNotRegularFilesAreWrittenThrough) {
    std::string folder = MakeFolder("cli_out_in", {"a.txt"});
    std::string dir = ScratchPath("cli_out");
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string archive = dir + "/plain.arc";
    ASSERT_EQ(RunCommand(Sfxpack("pack '" + folder + "' -o '" + archive + "'")).exitCode, 0);
    std::vector<uint8_t> expected = LoadFile(archive);

    SaveFile(dir + "/target", {'t'});
    fs::create_symlink("target", dir + "/link");
    CommandResult r = RunCommand(Sfxpack("pack '" + folder + "' -o '" + dir + "/link'"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(dir + "/link"));
    EXPECT_EQ(LoadFile(dir + "/target"), expected);

    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
    r = RunCommand("cat '" + dir + "/fifo' > '" + dir + "/from_fifo' & " +
                   Sfxpack("pack '" + folder + "' -o '" + dir + "/fifo'") + "; wait");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::is_fifo(dir + "/fifo"));
    EXPECT_EQ(LoadFile(dir + "/from_fifo"), expected);

    r = RunCommand(Sfxpack("pack '" + folder + "' -o /dev/null"));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    // RunCommand's own redirections come last: the group's inner ones win.
    r = RunCommand("{ " + Sfxpack("pack '" + folder + "' -o - > '" + dir + "/from_stdout'") +
                   "; }");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(LoadFile(dir + "/from_stdout"), expected);
    // And back in through standard input.
    r = RunCommand("{ " + Sfxpack("list - < '" + dir + "/from_stdout'") + "; }");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\ta.txt\n"), std::string::npos) << r.out;

    r = RunCommand(Sfxpack("pack '" + folder + "' -o '" + folder + "/out.arc'"));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("is inside the folder"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(folder + "/out.arc"));

    r = RunCommand(Sfxpack("pack '" + folder + "' -o '" + dir + "/nodir/x.arc'"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot write " + dir + "/nodir/x.arc: no folder " + dir + "/nodir"),
              std::string::npos)
        << r.err;
}

} // namespace
