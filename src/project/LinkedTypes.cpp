// The types of group addresses that name none themselves, from the communication objects linked to them: a
// link in 0.xml names the object by its reference in the device's application program
// (M-XXXX/M-XXXX_A-....xml), where the ComObjectRef and the ComObject it refines carry the datapoint type and
// the object size.
#include "ets/XmlReader.h"
#include "project/ProjectArchive.h"
#include "project/ProjectXml.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

namespace zelo {

namespace {

// What the application program says about one ComObjectRef or ComObject.
struct ObjectFacts {
    bool Found = false;
    std::string RefId; // a ComObjectRef's object
    std::string DatapointType;
    std::string ObjectSize;
};

// One application program: the references and objects the links need, and what was found of them.
struct Program {
    std::map<std::string, ObjectFacts, std::less<>> Refs;
    std::map<std::string, ObjectFacts, std::less<>> Objects;
};

// A link whose type comes from an application program: the reference and the addresses it adds its type to.
struct PendingLink {
    std::string Program;
    std::string Ref;
    std::vector<std::size_t> Targets;
};

std::string_view Before(std::string_view text, char c) {
    return text.substr(0, text.find(c));
}

// "P-0600-0_GA-1" and "GA-1" name the same address of an installation.
std::string_view Tail(std::string_view id) {
    const std::size_t underscore = id.rfind('_');
    return underscore == std::string_view::npos ? id : id.substr(underscore + 1);
}

std::string AddressKey(int installation, std::string_view id) {
    return std::to_string(installation) + "/" + std::string(Tail(id));
}

// "M-0083/M-0083_A-0013-11-A9D6.xml" for "M-0083_A-0013-11-A9D6": each manufacturer has its folder.
std::string ProgramEntry(std::string_view program) {
    return std::string(Before(program, '_')) + "/" + std::string(program) + ".xml";
}

// The application program an ETS4 reference names itself: "M-0083_A-0013-11-A9D6_O-0_R-10000".
std::optional<std::string> ProgramOfWholeRef(std::string_view ref) {
    if (ref.substr(0, 2) != "M-" || ref.find("_A-") == std::string_view::npos)
        return std::nullopt;
    std::size_t end = std::min(ref.find("_O-"), ref.find("_MD-"));
    if (end == std::string_view::npos)
        return std::nullopt;
    return std::string(ref.substr(0, end));
}

// The ComObjectRef id of an instance's reference. Objects of a module instance are written
// "MD-1_M-13_MI-1_O-2-1_R-2" while the program defines them once per module, "..._MD-1_O-2-1_R-2": the
// instance's parts (M-, MI-) go.
std::string WholeRef(const std::string& program, std::string_view ref) {
    if (ProgramOfWholeRef(ref))
        ref.remove_prefix(program.size() + 1);
    std::string whole = program;
    for (std::size_t pos = 0; pos <= ref.size();) {
        const std::size_t end = std::min(ref.find('_', pos), ref.size());
        const std::string_view part = ref.substr(pos, end - pos);
        if (part.substr(0, 2) != "M-" && part.substr(0, 3) != "MI-")
            whole += "_" + std::string(part);
        pos = end + 1;
    }
    return whole;
}

// The object a reference refines: its id without the trailing "_R-n".
std::string ObjectOfRef(std::string_view ref) {
    const std::size_t r = ref.rfind("_R-");
    return std::string(r == std::string_view::npos ? ref : ref.substr(0, r));
}

// The object sizes whose type they imply.
std::optional<DptNumber> TypeOfSize(std::string_view size) {
    if (size == "1 Bit")
        return DptNumber{1, -1};
    if (size == "2 Bit")
        return DptNumber{2, -1};
    if (size == "4 Bit")
        return DptNumber{3, -1};
    return std::nullopt;
}

[[noreturn]] void Damaged(const std::string& entry, const XmlError& e) {
    throw ProjectError(ProjectErrorKind::Damaged, entry + ": " + e.Message());
}

// Reads an entry's XML with `read` as its bytes come in. ETS writes UTF-8, which the reader takes as it
// comes; UTF-16 is decoded whole first.
void ReadXml(const std::string& entry, ByteSource& bytes, const std::function<void(XmlReader&)>& read) {
    std::string head(2, '\0');
    const std::size_t got = ReadFully(bytes, head.data(), head.size());
    head.resize(got);
    const bool utf16 =
        head == "\xFF\xFE" || head == "\xFE\xFF" || (got == 2 && (head[0] == 0) != (head[1] == 0));
    try {
        if (!utf16) {
            XmlReader xml(bytes, std::move(head));
            read(xml);
            return;
        }
        std::string whole = std::move(head);
        for (;;) {
            const std::size_t had = whole.size();
            whole.resize(had + XmlReader::DefaultBlock);
            whole.resize(had + bytes.Read(whole.data() + had, XmlReader::DefaultBlock));
            if (whole.size() == had)
                break;
        }
        const std::string text = ProjectXmlText(whole);
        XmlReader xml(text);
        read(xml);
    } catch (const XmlError& e) {
        Damaged(entry, e);
    }
}

// The application programs of the Hardware2Program ids asked for, from each manufacturer's Hardware.xml.
// An id the file does not list (or a missing file) is mapped by the ids' own pattern:
// "M-0083_H-19-1_HP-0013-11-A9D6" runs "M-0083_A-0013-11-A9D6".
std::map<std::string, std::string> ProgramsOfHardware(const std::set<std::string>& programRefs,
                                                      const ProjectEntryStreamer& open) {
    std::map<std::string, std::string> programs;
    std::set<std::string> manufacturers;
    for (const auto& ref : programRefs)
        manufacturers.insert(std::string(Before(ref, '_')));
    for (const auto& manufacturer : manufacturers) {
        const std::string entry = manufacturer + "/Hardware.xml";
        open(entry, [&](ByteSource& bytes) {
            ReadXml(entry, bytes, [&](XmlReader& xml) {
                std::string current; // the Hardware2Program the reader is in, when it is one asked for
                while (xml.Next() != XmlReader::Token::EndOfDocument) {
                    if (xml.Current() != XmlReader::Token::StartElement)
                        continue;
                    if (xml.LocalName() == "Hardware2Program") {
                        current = std::string(xml.AttributeValue("Id").value_or(""));
                        if (!programRefs.contains(current))
                            current.clear();
                    } else if (xml.LocalName() == "ApplicationProgramRef" && !current.empty()) {
                        // The first one is the program; others serve other media.
                        programs.emplace(current, std::string(xml.AttributeValue("RefId").value_or("")));
                    }
                }
            });
        });
    }
    for (const auto& ref : programRefs) {
        const std::size_t hp = ref.find("_HP-");
        if (!programs.contains(ref) && hp != std::string::npos)
            programs.emplace(ref, std::string(Before(ref, '_')) + "_A-" + ref.substr(hp + 4));
    }
    return programs;
}

// Reads one application program and keeps the facts of the references and objects it is asked for, up to
// where the last of them is found: the objects lie in the program's static part, before the far larger
// rest. The first of an id counts.
void ReadProgram(XmlReader& xml, Program& program) {
    std::size_t missing = program.Refs.size() + program.Objects.size();
    while (missing > 0 && xml.Next() != XmlReader::Token::EndOfDocument) {
        if (xml.Current() != XmlReader::Token::StartElement)
            continue;
        const bool isRef = xml.LocalName() == "ComObjectRef";
        if (!isRef && xml.LocalName() != "ComObject")
            continue;
        auto& wanted = isRef ? program.Refs : program.Objects;
        auto found = wanted.find(xml.AttributeValue("Id").value_or(""));
        if (found == wanted.end() || found->second.Found)
            continue;
        found->second.Found = true;
        --missing;
        found->second.RefId = std::string(xml.AttributeValue("RefId").value_or(""));
        found->second.DatapointType = std::string(xml.AttributeValue("DatapointType").value_or(""));
        found->second.ObjectSize = std::string(xml.AttributeValue("ObjectSize").value_or(""));
    }
}

void AddTypes(std::vector<DptNumber>& to, const std::vector<DptNumber>& types) {
    to.insert(to.end(), types.begin(), types.end());
}

} // namespace

void ResolveLinkedTypes(ProjectInstallation& installation, const ProjectEntryReader& read,
                        std::vector<std::string>& warnings) {
    ResolveLinkedTypes(
        installation,
        [&read](const std::string& name, const ProjectEntryUse& use) {
            const std::optional<std::string> bytes = read(name);
            if (!bytes)
                return false;
            ViewSource source(*bytes);
            use(source);
            return true;
        },
        warnings);
}

void ResolveLinkedTypes(ProjectInstallation& installation, const ProjectEntryStreamer& open,
                        std::vector<std::string>& warnings) {
    // The addresses that need a type, by the key links name them with.
    std::unordered_map<std::string, std::size_t> untyped;
    auto& addresses = installation.GroupAddresses;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        addresses[i].LinkedTypes.clear();
        if (MapDptText(addresses[i].DatapointType).Type < 0)
            untyped.emplace(AddressKey(addresses[i].Installation, addresses[i].Id), i);
    }
    if (untyped.empty())
        return;

    // Links to those addresses: typed by the instance itself, or waiting for their application program.
    struct Waiting {
        const ProjectObjectLink* Link;
        std::vector<std::size_t> Targets;
    };
    std::vector<Waiting> waiting;
    std::set<std::string> programRefs;
    for (const auto& link : installation.Links) {
        std::vector<std::size_t> targets;
        for (const auto& id : link.GroupAddresses)
            if (auto found = untyped.find(AddressKey(link.Installation, id)); found != untyped.end())
                targets.push_back(found->second);
        if (targets.empty())
            continue;
        if (const std::vector<DptNumber> own = ReadDptTypes(link.DatapointType); !own.empty()) {
            for (std::size_t target : targets)
                AddTypes(addresses[target].LinkedTypes, own);
            continue;
        }
        if (!ProgramOfWholeRef(link.RefId) && !link.ProgramRef.empty())
            programRefs.insert(link.ProgramRef);
        waiting.push_back({&link, std::move(targets)});
    }

    const std::map<std::string, std::string> programOfHardware = ProgramsOfHardware(programRefs, open);
    std::map<std::string, Program, std::less<>> programs;
    std::vector<PendingLink> pending;
    for (auto& w : waiting) {
        std::optional<std::string> program = ProgramOfWholeRef(w.Link->RefId);
        if (!program) {
            auto found = programOfHardware.find(w.Link->ProgramRef);
            if (found == programOfHardware.end() || found->second.empty())
                continue; // a device without a program: nothing to learn
            program = found->second;
        }
        PendingLink link{*program, WholeRef(*program, w.Link->RefId), std::move(w.Targets)};
        Program& p = programs[link.Program];
        p.Refs.emplace(link.Ref, ObjectFacts{});
        // The object's id follows from the reference's, so one pass over the program finds both.
        p.Objects.emplace(ObjectOfRef(link.Ref), ObjectFacts{});
        pending.push_back(std::move(link));
    }

    for (auto& idAndProgram : programs) {
        const std::string entry = ProgramEntry(idAndProgram.first);
        Program& program = idAndProgram.second;
        const bool found = open(entry, [&](ByteSource& bytes) {
            ReadXml(entry, bytes, [&program](XmlReader& xml) { ReadProgram(xml, program); });
        });
        if (!found)
            warnings.push_back("The project file has no " + entry +
                               ": the group addresses linked to its objects get no type from them.");
    }

    for (const auto& link : pending) {
        const Program& program = programs.at(link.Program);
        const ObjectFacts& ref = program.Refs.at(link.Ref);
        const std::string objectId = ref.RefId.empty() ? ObjectOfRef(link.Ref) : ref.RefId;
        const auto object = program.Objects.find(objectId);
        const ObjectFacts noObject;
        const ObjectFacts& facts = object == program.Objects.end() ? noObject : object->second;
        std::vector<DptNumber> types = ReadDptTypes(ref.DatapointType);
        if (types.empty())
            types = ReadDptTypes(facts.DatapointType);
        if (types.empty()) {
            const std::optional<DptNumber> bySize =
                TypeOfSize(ref.ObjectSize.empty() ? facts.ObjectSize : ref.ObjectSize);
            if (bySize)
                types.push_back(*bySize);
        }
        for (std::size_t target : link.Targets)
            AddTypes(addresses[target].LinkedTypes, types);
    }

    for (auto& a : addresses) {
        std::sort(a.LinkedTypes.begin(), a.LinkedTypes.end());
        a.LinkedTypes.erase(std::unique(a.LinkedTypes.begin(), a.LinkedTypes.end()), a.LinkedTypes.end());
    }
}

} // namespace zelo
