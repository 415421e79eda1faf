#pragma once
// The group range entry: the address fields' check, the datapoint list's one mark, and the range in
// CurrentGroup added to the command list, with the question when a range of the same start is there.
#include "model/EibGroup.h"
#include "window/CommandListDocument.h"
#include "window/Controls.h"
#include "window/Dialogs.h"

#include <cstdint>
#include <optional>

namespace zelo {

class RangeEntry {
public:
    RangeEntry(const WindowControls& controls, TEibGroup& group, CommandListDocument& document,
               Dialogs& dialogs)
        : Controls_(controls), Group_(group), Document_(document), Dialogs_(dialogs) {}

    // A group address field left: its address goes to target, or the field refuses it with a box and takes
    // the focus back.
    void AddressLeft(IEditField& field, std::uint16_t& target);
    // While the focus is taken back, the field it went to is not being left by the user.
    bool RestoringFocus() const { return RestoringFocus_; }
    // How many times a field has refused its text: a key's action waits for a field that refused.
    int Refusals() const { return Refusals_; }

    // The row the user toggled keeps its mark; every other mark goes.
    void KeepOneMark();
    // A row's text clicked: its mark toggles as a click on its box toggles it.
    void ToggleCurrentRow();
    // The checked datapoint type; a box and the focus in the list when none is.
    std::optional<int> CheckedType();
    // The range in the group, of the given type: appended, found present, or written over the range of the
    // same start when the user agrees.
    void Add(int type);
    // Add all: the same-start question offers "to all" answers until the run ends.
    void BeginAddAll() { AnswerToAll_ = 0; }
    void EndAddAll() { AnswerToAll_.reset(); }

private:
    const WindowControls& Controls_;
    TEibGroup& Group_;
    CommandListDocument& Document_;
    Dialogs& Dialogs_;
    bool RestoringFocus_ = false;
    int Refusals_ = 0;
    // Set (0 until such an answer) only while Add all runs.
    std::optional<int> AnswerToAll_;
};

} // namespace zelo
