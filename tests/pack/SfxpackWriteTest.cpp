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

// A folder of files to pack, made fresh.
std::string MakeFolder(const std::string& name, const std::vector<std::string>& files) {
    std::string folder = ScratchPath(name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (size_t i = 0; i < files.size(); ++i)
        SaveFile(folder + "/" + files[i], RandomBytes(1000 * i + 10, unsigned(i)));
    return folder;
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
    std::string folder = MakeFolder("cli_stubless", {"a.txt"});
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
    std::string hugeArchive = ScratchPath("huge.arc"); // sparse
    SaveFile(hugeArchive, {});
    fs::resize_file(hugeArchive, kMaxPayloadBytes + 1);

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
        {"exe --payload '" + hugeArchive + "' --stub '" + stub + "'", "archive above 1 GiB",
         "payload larger than an installer can hold"},
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
    fs::remove(hugeArchive);
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
    EXPECT_NE(r.err.find("cannot rename"), std::string::npos) << r.err;
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 4u); // taken, victim, out and the planted link
}

} // namespace
