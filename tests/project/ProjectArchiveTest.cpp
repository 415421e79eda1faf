// Opening ETS project files: generated ones for each layout, protection and password, and the real projects
// in ../shared/knxproj-samples when they are there.
#include "project/ProjectArchive.h"
#include "ZipWriter.h"
#include "project/ProjectImport.h"
#include "project/ProjectXml.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <random>
#include <regex>
#include <tuple>

using namespace zelo;
using namespace zelo::test;

// The largest single allocation since the last reset: a reader that trusts a declared size shows it here.
static std::atomic<std::size_t> LargestAllocation{0};

void* operator new(std::size_t size) {
    LargestAllocation = std::max(LargestAllocation.load(), size);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
// The library's temporary buffers come through the nothrow form: it must pair with the delete above.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    LargestAllocation = std::max(LargestAllocation.load(), size);
    return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

// Zip passwords ETS6 derives, computed with another implementation (Python's hashlib) for these project
// passwords.
const std::string Geheim = "geheim";
const std::string GeheimZip = "8pqussL76WjB9C5muPqO/sN7UJruVxTWBHKyBPcdnlc=";
const std::string Kueche = "K\u00FCche\xE2\x82\xAC\xF0\x9F\x98\x80"; // "Küche€😀"
const std::string KuecheZip = "TKR1lH7Vj6QwpmgcMtgoYHPXpShC8/jQ8t3VzohJqqI=";

const std::string Master =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?><KNX xmlns=\"http://knx.org/xml/project/21\"/>";
const std::string Installation = "\xEF\xBB\xBF<KNX><GroupAddress Address=\"2049\" Name=\"Licht\" /></KNX>";
const std::string ProjectText =
    "\xEF\xBB\xBF<KNX><ProjectInformation GroupAddressStyle=\"ThreeLevel\" /></KNX>";

enum class Form { Folder, Ets4Folder, Inner };

// A project file as ETS writes it; the inner archive is encrypted with `zipPassword` as given (already
// derived for AES).
std::string MakeProject(Form form, ZipEncryption encryption = ZipEncryption::None,
                        const std::string& zipPassword = {}, int aesVersion = 2) {
    std::vector<ZipWriterEntry> entries = {Entry("knx_master.xml", Master), Entry("P-1234.signature", "sig"),
                                           Entry("M-0083/M-0083_A-0013-11-A9D6.xml", "<KNX/>")};
    if (form == Form::Inner) {
        std::vector<ZipWriterEntry> inner = {Entry("0.xml", Installation), Entry("project.xml", ProjectText)};
        for (auto& e : inner) {
            e.Encryption = encryption;
            e.Password = zipPassword;
            e.AesVersion = aesVersion;
        }
        entries.push_back(Entry("P-1234.zip", WriteZip(inner)));
    } else {
        entries.push_back(Entry("P-1234/0.xml", Installation));
        entries.push_back(
            Entry(form == Form::Ets4Folder ? "P-1234/Project.xml" : "P-1234/project.xml", ProjectText));
    }
    return WriteZip(entries);
}

struct Outcome {
    std::optional<ProjectErrorKind> Kind;
    std::string Message;
};

Outcome Open(const std::string& bytes, const std::optional<std::string>& password) {
    try {
        ProjectArchive project(bytes, password);
        EXPECT_EQ(project.ProjectId(), "P-1234");
        EXPECT_EQ(project.KnxMaster(), Master);
        EXPECT_EQ(project.Installation(), Installation);
        EXPECT_EQ(project.ProjectXml(), ProjectText);
        return {};
    } catch (const ProjectError& e) {
        return {e.Kind(), e.what()};
    }
}

// The message a project is refused with; empty when it opens.
std::string Refusal(const std::string& bytes, const std::optional<std::string>& password) {
    try {
        ProjectArchive project(bytes, password);
        return {};
    } catch (const ProjectError& e) {
        return e.what();
    }
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The group addresses of the other reader's result: raw address, name and datapoint type ("main.sub", "main",
// or empty), sorted by address.
using AddressList = std::vector<std::tuple<int, std::string, std::string>>;

AddressList ExpectedAddresses(const std::string& json) {
    static const std::regex entry(
        R"re("name":\s*"([^"]*)",\s*"identifier":\s*"[^"]*",\s*"raw_address":\s*(\d+)[^}]*?"dpt":\s*(null|\{\s*"main":\s*(\d+),\s*"sub":\s*(\d+|null)\s*\}))re");
    AddressList list;
    for (std::sregex_iterator i(json.begin(), json.end(), entry), end; i != end; ++i) {
        const auto& m = *i;
        std::string dpt = m[3] == "null" ? "" : m[5] == "null" ? m[4].str() : m[4].str() + "." + m[5].str();
        list.emplace_back(std::stoi(m[2]), m[1], dpt);
    }
    std::sort(list.begin(), list.end());
    return list;
}

// The same from the whole import's reading, with the types of untyped addresses resolved through the
// devices' objects.
AddressList ReadAddresses(const std::string& bytes, const std::optional<std::string>& password) {
    ExportReading reading = ReadProjectFile(bytes, password);
    EXPECT_FALSE(reading.Refusal) << reading.Refusal->Message;
    AddressList list;
    for (const auto& r : reading.Addresses) {
        const std::vector<DptNumber> types = ReadDptTypes(r.DptText);
        std::string dpt;
        if (!types.empty())
            dpt = std::to_string(types.back().Main) +
                  (types.back().Sub >= 0 ? "." + std::to_string(types.back().Sub) : std::string());
        list.emplace_back(r.Address, std::string(r.Name), dpt);
    }
    std::sort(list.begin(), list.end());
    return list;
}

} // namespace

TEST(ProjectArchive, PasswordsAndProtection) {
    const auto traditional = [](const std::string& zipPassword) {
        return MakeProject(Form::Inner, ZipEncryption::Traditional, zipPassword);
    };
    const std::string geheimTraditional = traditional(Geheim);
    const std::string geheimAes = MakeProject(Form::Inner, ZipEncryption::WinZipAes, GeheimZip);
    const std::string latin1Kueche = std::string("K\xFC") + "che", utf8Kueche = "K\u00FCche";
    const std::optional<std::string> none;
    const std::optional<ProjectErrorKind> opens;
    const auto needed = ProjectErrorKind::PasswordNeeded;
    const auto wrong = ProjectErrorKind::WrongPassword;
    const struct {
        const char* What;
        std::string Bytes;
        std::optional<std::string> Password;
        std::optional<ProjectErrorKind> Kind;
    } cases[] = {
        {"folder", MakeProject(Form::Folder), none, opens},
        {"folder, ETS4 names", MakeProject(Form::Ets4Folder), none, opens},
        {"folder, a password given anyway", MakeProject(Form::Folder), "test", opens},
        {"inner archive without encryption", MakeProject(Form::Inner), none, opens},
        {"traditional, right", geheimTraditional, Geheim, opens},
        {"traditional, wrong", geheimTraditional, "Geheim", wrong},
        {"traditional, empty", geheimTraditional, "", needed},
        {"traditional, none", geheimTraditional, none, needed},
        {"traditional, the derived password does not serve", geheimTraditional, GeheimZip, wrong},
        {"traditional, non-ASCII as UTF-8", traditional(Kueche), Kueche, opens},
        {"traditional, non-ASCII as Latin-1", traditional(latin1Kueche), utf8Kueche, opens},
        {"AE-2, right", geheimAes, Geheim, opens},
        {"AE-1, right", MakeProject(Form::Inner, ZipEncryption::WinZipAes, GeheimZip, 1), Geheim, opens},
        {"AES, non-ASCII", MakeProject(Form::Inner, ZipEncryption::WinZipAes, KuecheZip), Kueche, opens},
        {"AES, wrong", geheimAes, "geheim ", wrong},
        {"AES, empty", geheimAes, "", needed},
        {"AES, none", geheimAes, none, needed},
        {"AES under the plain password, re-packed by hand",
         MakeProject(Form::Inner, ZipEncryption::WinZipAes, Geheim), Geheim, opens},
    };
    for (const auto& c : cases) {
        Outcome outcome = Open(c.Bytes, c.Password);
        EXPECT_EQ(outcome.Kind, c.Kind) << c.What << ": " << outcome.Message;
        if (c.Kind == ProjectErrorKind::PasswordNeeded) {
            EXPECT_EQ(outcome.Message, "This project is protected by a password.") << c.What;
        }
        if (c.Kind == ProjectErrorKind::WrongPassword) {
            EXPECT_EQ(outcome.Message, "Wrong project password.") << c.What;
        }
    }

    ProjectArchive aes(geheimAes, Geheim);
    EXPECT_EQ(aes.Protection(), ZipEncryption::WinZipAes);
    EXPECT_EQ(ProjectArchive(geheimTraditional, Geheim).Protection(), ZipEncryption::Traditional);
    EXPECT_EQ(ProjectArchive(MakeProject(Form::Folder)).Protection(), ZipEncryption::None);
    EXPECT_NE(aes.Archive().Find("M-0083/M-0083_A-0013-11-A9D6.xml"), nullptr);
}

TEST(ProjectArchive, WhatIsNotAProjectOrIsDamaged) {
    std::vector<ZipWriterEntry> common = {Entry("knx_master.xml", Master)};
    auto with = [&common](std::vector<ZipWriterEntry> more) {
        std::vector<ZipWriterEntry> all = common;
        all.insert(all.end(), more.begin(), more.end());
        return WriteZip(all);
    };
    const ZipWriterEntry signature = Entry("P-1234.signature", "s");
    std::string brokenInnerZip =
        with({signature, Entry("P-1234.zip", "PK\x03\x04 cut short after its first header, long enough")});
    std::string damagedInnerEntry =
        WriteZip({Entry("0.xml", Installation), Entry("project.xml", ProjectText)});
    damagedInnerEntry[damagedInnerEntry.rfind("0.xml") - 30] ^= 1;
    damagedInnerEntry = with({signature, Entry("P-1234.zip", damagedInnerEntry)});
    std::string damagedFolder = MakeProject(Form::Folder);
    damagedFolder[damagedFolder.rfind("P-1234/0.xml") - 30] ^= 1; // the central record's CRC
    std::vector<ZipWriterEntry> signatures;
    for (char n = '1'; n <= '7'; ++n)
        signatures.push_back(Entry(std::string("P-") + n + ".signature", ""));
    ZipWriterEntry aes = Entry("0.xml", Installation);
    aes.Encryption = ZipEncryption::WinZipAes;
    aes.Password = GeheimZip;
    std::string alteredAes = WriteZip({aes, Entry("project.xml", ProjectText)});
    alteredAes[30 + 5 + 11 + 16 + 2 + 3] ^= 0x20; // header, name, AES field, salt, verifier: the data
    alteredAes = with({signature, Entry("P-1234.zip", alteredAes, 0)});
    const struct {
        const char* What;
        std::string Bytes;
        ProjectErrorKind Kind;
        std::string Message;
    } cases[] = {
        {"a text file", std::string(100, 'x'), ProjectErrorKind::NotProject,
         "This is not an ETS project file (.knxproj): it is no zip archive."},
        {"a zip without knx_master.xml", WriteZip({Entry("P-1234/0.xml", Installation)}),
         ProjectErrorKind::NotProject,
         "This is not an ETS project file (.knxproj): it has no knx_master.xml."},
        {"no project in it", with({Entry("M-0083/x.xml", "m")}), ProjectErrorKind::NotProject,
         "The ETS project file holds no project (no P-XXXX.signature, P-XXXX/0.xml or P-XXXX.zip)."},
        {"a signature without data", with({signature}), ProjectErrorKind::Damaged,
         "The ETS project file has no data for its project P-1234 (neither P-1234/0.xml nor P-1234.zip)."},
        {"two signatures", with({signature, Entry("P-5678.signature", "s")}), ProjectErrorKind::Damaged,
         "The ETS project file holds several projects (P-1234, P-5678); ETS exports one at a time."},
        {"seven signatures", with(signatures), ProjectErrorKind::Damaged,
         "The ETS project file holds several projects (P-1, P-2, P-3, P-4, P-5 and 2 more; 7 in all); ETS "
         "exports one at a time."},
        {"no signature, one folder",
         with({Entry("P-0042/0.xml", Installation), Entry("P-0042/project.xml", ProjectText)}),
         ProjectErrorKind::Damaged, ""},
        {"a folder without project.xml", with({signature, Entry("P-1234/0.xml", Installation)}),
         ProjectErrorKind::Damaged, "The ETS project file has no P-1234/project.xml beside P-1234/0.xml."},
        {"an inner archive without project.xml",
         with({signature, Entry("P-1234.zip", WriteZip({Entry("0.xml", "x")}))}), ProjectErrorKind::Damaged,
         "The archive \"P-1234.zip\" has no project.xml."},
        {"an inner archive that is none", brokenInnerZip, ProjectErrorKind::Damaged,
         "The archive \"P-1234.zip\" is damaged: it has no end of central directory record."},
        {"a damaged 0.xml in the inner archive", damagedInnerEntry, ProjectErrorKind::Damaged,
         "The ETS project file is damaged: P-1234.zip/0.xml: its CRC-32 check fails."},
        {"an AES 0.xml altered, the right password", alteredAes, ProjectErrorKind::Damaged,
         "The ETS project file is damaged: P-1234.zip/0.xml: its authentication code does not match: the "
         "entry "
         "is damaged or has been altered."},
        {"a damaged 0.xml", damagedFolder, ProjectErrorKind::Damaged,
         "The ETS project file is damaged: P-1234/0.xml: its CRC-32 check fails."},
    };
    for (const auto& c : cases) {
        try {
            ProjectArchive project(c.Bytes, Geheim);
            // The one case that opens: a project found by its folder alone.
            EXPECT_TRUE(c.Message.empty()) << c.What;
            EXPECT_EQ(project.ProjectId(), "P-0042");
            EXPECT_EQ(project.Installation(), Installation);
        } catch (const ProjectError& e) {
            EXPECT_EQ(e.Kind(), c.Kind) << c.What;
            EXPECT_EQ(e.what(), c.Message) << c.What;
        }
    }
}

TEST(ProjectArchive, BombsAreRefusedWithinOneBudget) {
    // A budget of 4 MiB for the whole file at every level; every row stays far below what its file claims.
    const ZipLimits limits{std::uint64_t(1) << 30, 64, 4u << 20};
    const std::string budget =
        "the file inflates to more than the 4194304 bytes it may give in all (64 times "
        "its size, at least 4194304).";
    const ZipWriterEntry signature = Entry("P-1234.signature", "s");
    auto project = [&](std::vector<ZipWriterEntry> data, std::string master = Master) {
        data.insert(data.begin(), {Entry("knx_master.xml", std::move(master)), signature});
        return WriteZip(data);
    };
    const std::string spaces(8 << 20, ' ');
    // Each part alone fits the budget; together they do not.
    const std::string nested =
        WriteZip({Entry("pad.bin", std::string(3 << 20, '\0'), 0), Entry("0.xml", spaces.substr(0, 3 << 20)),
                  Entry("project.xml", ProjectText)});
    std::vector<ZipWriterEntry> shared = {Entry("knx_master.xml", Master), signature,
                                          Entry("P-1234/0.xml", ""), Entry("P-1234/project.xml", "")};
    shared[2].DataOf = shared[3].DataOf = 0;
    std::string noise(1100000, '\0');
    std::generate(noise.begin(), noise.end(), std::mt19937(7));
    ZipWriterEntry hollow = Entry("P-1234/0.xml", noise);
    hollow.DeclaredSize = std::uint64_t(1) << 30;
    const struct {
        const char* What;
        std::string Bytes;
        std::string Message; // empty: it opens
    } cases[] = {
        {"a 0.xml past the budget",
         project({Entry("P-1234/0.xml", spaces), Entry("P-1234/project.xml", ProjectText)}),
         "The ETS project file is damaged: P-1234/0.xml: " + budget},
        {"an inner archive and its 0.xml", project({Entry("P-1234.zip", nested)}),
         "The ETS project file is damaged: P-1234.zip/0.xml: " + budget},
        {"three names on one stream", WriteZip(shared),
         "The ETS project file is damaged: knx_master.xml: its data overlaps that of \"P-1234/0.xml\"."},
        {"a declared size without the data", project({hollow, Entry("P-1234/project.xml", ProjectText)}),
         "The ETS project file is damaged: P-1234/0.xml: it inflates to less than its size."},
        {"a master file past the budget, read only at its start",
         project({Entry("P-1234/0.xml", Installation), Entry("P-1234/project.xml", ProjectText)},
                 Master + spaces),
         ""},
    };
    for (const auto& c : cases) {
        LargestAllocation = 0;
        try {
            ProjectArchive opened(c.Bytes, std::nullopt, limits);
            EXPECT_EQ("", c.Message) << c.What;
            EXPECT_TRUE(opened.Installation() == Installation) << c.What;
        } catch (const ProjectError& e) {
            EXPECT_EQ(e.Kind(), ProjectErrorKind::Damaged) << c.What;
            EXPECT_EQ(e.what(), c.Message) << c.What;
        }
        EXPECT_LT(LargestAllocation.load(), std::size_t(8) << 20) << c.What;
    }
}

TEST(ProjectArchive, RealProjects) {
    const std::filesystem::path samples = ZELO_SOURCE_DIR "/../shared/knxproj-samples";
    if (!std::filesystem::is_directory(samples))
        GTEST_SKIP() << "no " << samples;
    const struct {
        std::string File;
        std::optional<std::string> Password;
        std::string Id;
        ZipEncryption Protection;
        int Schema;
        std::string Expected; // the other reader's result, where there is one
    } cases[] = {
        {"ets6_free.knxproj", std::nullopt, "P-0310", ZipEncryption::None, 22, "ets6_free.json"},
        {"ets6_two_level.knxproj", std::nullopt, "P-05B2", ZipEncryption::None, 22, "ets6_two_level.json"},
        {"smart_linking.knxproj", "test", "P-04FF", ZipEncryption::WinZipAes, 23, "smart_linking.json"},
        {"test_project-ets4.knxproj", "test", "P-0600", ZipEncryption::Traditional, 11,
         "test_project-ets4.json"},
        {"test_project-ets4-no_password.knxproj", std::nullopt, "P-0600", ZipEncryption::None, 11,
         "test_project-ets4.json"},
        {"testprojekt-ets6-functions.knxproj", std::nullopt, "P-05C0", ZipEncryption::None, 22,
         "testprojekt-ets6-functions.json"},
        {"testprojekt-ets6.knxproj", "test", "P-04BF", ZipEncryption::WinZipAes, 21, ""},
        {"xknx_test_project.knxproj", "test", "P-0242", ZipEncryption::Traditional, 20,
         "xknx_test_project.json"},
        {"xknx_test_project_no_password.knxproj", std::nullopt, "P-01D2", ZipEncryption::None, 20, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        const std::string bytes = ReadFile(samples / c.File);
        ASSERT_FALSE(bytes.empty());
        ProjectArchive project(bytes, c.Password);
        EXPECT_EQ(project.ProjectId(), c.Id);
        EXPECT_EQ(project.Protection(), c.Protection);
        EXPECT_EQ(ReadProjectSchema(project.KnxMaster(), "knx_master.xml").Version, c.Schema);
        EXPECT_NE(project.ProjectXml().find("<Project "), std::string::npos);
        if (c.Expected.empty()) {
            EXPECT_FALSE(ReadInstallation(project.Installation(), "0.xml").GroupAddresses.empty());
        } else {
            AddressList expected = ExpectedAddresses(ReadFile(samples / "expected" / c.Expected));
            EXPECT_FALSE(expected.empty());
            EXPECT_EQ(ReadAddresses(bytes, c.Password), expected);
        }
        if (c.Password) {
            EXPECT_EQ(Refusal(bytes, std::nullopt), "This project is protected by a password.");
            EXPECT_EQ(Refusal(bytes, "Test"), "Wrong project password.");
        }
    }

    // The ETS4 project and its unprotected twin hold the very same installation.
    EXPECT_EQ(ProjectArchive(ReadFile(samples / "test_project-ets4.knxproj"), "test").Installation(),
              ProjectArchive(ReadFile(samples / "test_project-ets4-no_password.knxproj")).Installation());
}
