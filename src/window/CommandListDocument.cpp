#include "window/CommandListDocument.h"
#include "commands/CommandLine.h"
#include "commands/CommandList.h"
#include "device/EibConverter.h"
#include "model/Error.h"
#include "os/Files.h"

#include <new>

namespace zelo {

namespace {

// Lines the window writes itself are marked, so the user's edits can be told apart.
class OwnEdit {
public:
    explicit OwnEdit(int& depth) : Depth(depth) { ++Depth; }
    ~OwnEdit() { --Depth; }
    OwnEdit(const OwnEdit&) = delete;
    OwnEdit& operator=(const OwnEdit&) = delete;

private:
    int& Depth;
};

} // namespace

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

CommandListDocument::CommandListDocument(ICommandList& list, IForm& form, Dialogs& dialogs,
                                         TEibGroups& groups)
    : List_(list), Form_(form), Dialogs_(dialogs), Index_(groups) {}

void CommandListDocument::ReplaceLine(int lineNumber, const std::string& text) {
    if (lineNumber >= List_.LineCount() || List_.Line(lineNumber) == text)
        return;
    const OwnEdit own(OwnEdits_);
    List_.ReplaceLine(lineNumber, text);
    SetModified(true);
}

void CommandListDocument::InsertLine(int lineNumber, const std::string& text) {
    const OwnEdit own(OwnEdits_);
    List_.InsertLine(lineNumber, text);
    SetModified(true);
}

int CommandListDocument::NextLineNumber() const {
    // A line end at the very end is no further line: the new line takes that place.
    const int last = List_.LineCount() - 1;
    return List_.Line(last).empty() ? last : last + 1;
}

int CommandListDocument::AppendLine(const std::string& text) {
    const int lineNumber = NextLineNumber();
    // Inserted before the empty last line, the new line ends with a line end of its own; after a last line
    // with text, it gets a line end put before it.
    InsertLine(lineNumber, text);
    return lineNumber;
}

int CommandListDocument::AppendGroupLine(const TEibGroup& group) {
    const std::string line = BuildGroupLine(group);
    if (!GroupsStale_)
        Index_.AddGroup(NextLineNumber(), group);
    return AppendLine(line);
}

void CommandListDocument::ReplaceGroupLine(int entry, const TEibGroup& group) {
    TEibGroup& held = Index_.Group(entry);
    held.Assign(group);
    ReplaceLine(Index_.LineOf(entry), BuildGroupLine(held));
}

void CommandListDocument::SetSetupLine(const std::string& line) {
    const std::string first = List_.Line(0);
    if (first.empty() || first.starts_with("#SETUP=")) {
        ReplaceLine(0, line);
    } else {
        InsertLine(0, line);
        GroupsStale_ = true;
    }
}

std::vector<std::string> CommandListDocument::Lines() const {
    const std::string text = List_.Text();
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.emplace_back(text, start, end - start);
    if (start < text.size())
        lines.emplace_back(text, start);
    return lines;
}

void CommandListDocument::Show(const std::vector<std::string>& lines) {
    // Ended by a line end, so the next Add goes behind the last line.
    {
        const OwnEdit own(OwnEdits_);
        List_.SetText(CommandListFileText(lines));
    }
    GroupsStale_ = true;
}

void CommandListDocument::UserChanged() {
    if (OwnEdits_ == 0) {
        GroupsStale_ = true;
        SetModified(true);
    }
}

GroupLineIndex& CommandListDocument::Groups() {
    // The table mirrors the group lines the list holds now, typed ones included, so the search and its
    // question are about what a download would send.
    if (GroupsStale_) {
        Index_.Clear();
        int lineNumber = 0;
        for (const std::string& line : Lines())
            Index_.AddLine(lineNumber++, line);
        GroupsStale_ = false;
    }
    return Index_;
}

std::optional<std::vector<std::string>> CommandListDocument::Read(const std::string& path) {
    try {
        std::vector<std::string> lines = CommandListFromFile(os::ReadWholeFile(path, os::CommandListLimit));
        // The list is refused whole: a zero byte would end the gateway's text early, and no control shows
        // one.
        if (const auto zero = FirstLineWithZeroByte(lines))
            throw Exception("Can't read " + path + ": " +
                            FormatMessage(LineWithZeroByteMessage, std::to_string(*zero)));
        return lines;
    } catch (const Exception& error) {
        WindowBox(Dialogs_, Form_, error.Message(), box::Ok | box::IconError);
    } catch (const std::bad_alloc&) {
        WindowBox(Dialogs_, Form_, "Out of memory while reading " + path, box::Ok | box::IconError);
    }
    return std::nullopt;
}

void CommandListDocument::Opened(const std::string& path) {
    FileName_ = path;
    Modified_ = false;
    UpdateCaption();
    RememberFolder(path);
    List_.ScrollToLine(0);
}

bool CommandListDocument::QuerySaveChanges() {
    if (!Modified_)
        return true;
    switch (WindowBox(Dialogs_, Form_, SaveChangesQuestion, box::YesNoCancel | box::IconQuestion)) {
    case box::IdYes:
        return Save(false);
    case box::IdNo:
        return true;
    default:
        return false;
    }
}

bool CommandListDocument::Save(bool askName) {
    std::string path = FileName_;
    if (askName || path.empty()) {
        const std::optional<std::string> chosen =
            Dialogs_.SaveFile(CommandListFilter, path.empty() ? LastFolder_ : FolderOf(path),
                              path.empty() ? std::string("commands.txt") : BaseName(path));
        if (!chosen)
            return false;
        path = *chosen;
        RememberFolder(path);
    }
    try {
        // As the settings file is saved: a crash or a full disk leaves the old file, never half a list.
        os::ReplaceFileContents(path, CommandListFileText(Lines()));
    } catch (const Exception& error) {
        WindowBox(Dialogs_, Form_, error.Message(), box::Ok | box::IconError);
        return false;
    }
    FileName_ = path;
    Modified_ = false;
    UpdateCaption();
    return true;
}

void CommandListDocument::SetModified(bool modified) {
    if (Modified_ == modified)
        return;
    Modified_ = modified;
    UpdateCaption();
}

void CommandListDocument::SetBaseCaption(const std::string& caption) {
    BaseCaption_ = caption;
    Modified_ = false;
    UpdateCaption();
}

void CommandListDocument::UpdateCaption() {
    if (BaseCaption_.empty())
        return; // still starting: the caption is set at the end of the start-up
    // Without a file the caption is the program's alone.
    std::string caption = BaseCaption_;
    if (!FileName_.empty())
        caption += " - " + BaseName(FileName_) + (Modified_ ? "*" : "");
    if (Form_.Caption() != caption)
        Form_.SetCaption(caption);
}

void CommandListDocument::RememberFolder(const std::string& path) {
    const std::string folder = FolderOf(path);
    if (!folder.empty())
        LastFolder_ = folder;
}

void CommandListDocument::LoadFolder(const IniFile& settings) {
    LastFolder_ = StoredFolder_ = settings.ReadString(WindowSettingsSection, "LastFolder", {});
}

void CommandListDocument::StoreFolder(IniFile& settings) {
    // Written only once it changed: until then the file holds what it held.
    if (LastFolder_ != StoredFolder_)
        settings.WriteString(WindowSettingsSection, "LastFolder", LastFolder_);
    StoredFolder_ = LastFolder_;
}

} // namespace zelo
