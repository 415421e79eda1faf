#pragma once
// The command list as the window holds it: its text in the list control, the file it belongs to, the caption
// that names that file, and the table of its group lines that the same-start search goes through.
#include "device/IniFile.h"
#include "model/EibGroup.h"
#include "window/Controls.h"
#include "window/Dialogs.h"
#include "window/GroupLineIndex.h"

#include <optional>
#include <string>
#include <vector>

namespace zelo {

// Command lists are plain text files, one command per line: what zeloctl check and download take.
inline constexpr const char* CommandListFilter = "Command list (*.txt)|*.txt|All files (*.*)|*.*";
inline constexpr const char* SaveChangesQuestion = "Save changes to the command list?";
// The settings file's section of the window's own (the link's section is the converter's).
inline constexpr const char* WindowSettingsSection = "Configurator";

// The name part of a path, and its folder (empty for a bare name); both separators count, as either can come
// from a dialog on Windows.
std::string BaseName(const std::string& path);
std::string FolderOf(const std::string& path);

class CommandListDocument {
public:
    CommandListDocument(ICommandList& list, IForm& form, Dialogs& dialogs, TEibGroups& groups);

    // Edits made by the window itself; the user's edits (UserChanged) invalidate the table's mirror.
    void ReplaceLine(int lineNumber, const std::string& text);
    void InsertLine(int lineNumber, const std::string& text);
    // The line number the next appended line gets, and the append itself.
    int NextLineNumber() const;
    int AppendLine(const std::string& text);
    // A group's line appended, or written over the line of a table entry; the table takes the group as it
    // is. A full table refuses the line before it is written.
    int AppendGroupLine(const TEibGroup& group);
    void ReplaceGroupLine(int entry, const TEibGroup& group);
    // The setup line is the first line; when the user has deleted it, it comes back in front.
    void SetSetupLine(const std::string& line);
    // The lines as the download sends them (a line end at the very end adds no line).
    std::vector<std::string> Lines() const;
    // Replaces the whole text (a file's lines, a recovered list).
    void Show(const std::vector<std::string>& lines);
    void UserChanged();
    // The table of the list's group lines, brought up to date first when the user has edited the list.
    GroupLineIndex& Groups();

    // The list's file: read (false and a box when it cannot be), saved (asking for a name when askName or
    // when no file is open; false when cancelled or failed), and the question before the list goes.
    std::optional<std::vector<std::string>> Read(const std::string& path);
    void Opened(const std::string& path);
    bool Save(bool askName);
    bool QuerySaveChanges();
    bool Modified() const { return Modified_; }
    void SetModified(bool modified);
    const std::string& FileName() const { return FileName_; }
    // The program's caption, to which the file's name is added.
    void SetBaseCaption(const std::string& caption);

    // The folder the file dialogs start in, kept in the settings in the window's own section.
    const std::string& LastFolder() const { return LastFolder_; }
    void RememberFolder(const std::string& path);
    void LoadFolder(const IniFile& settings);
    void StoreFolder(IniFile& settings);

private:
    void UpdateCaption();

    ICommandList& List_;
    IForm& Form_;
    Dialogs& Dialogs_;
    GroupLineIndex Index_;
    bool GroupsStale_ = true;
    int OwnEdits_ = 0; // depth of the window's own edits, which the view reports as changes too
    std::string BaseCaption_;
    std::string FileName_;
    bool Modified_ = false;
    std::string LastFolder_;
    std::string StoredFolder_; // as the settings file holds it
};

} // namespace zelo
