#include "window/RangeEntry.h"
#include "commands/CommandLine.h"
#include "ets/EtsBatch.h"
#include "model/Address.h"
#include "model/Error.h"
#include "window/ScopeExit.h"

namespace zelo {

void RangeEntry::AddressLeft(IEditField& field, std::uint16_t& target) {
    // Taking the focus back below makes the field it went to lose it: that field is not being left by the
    // user, and judging it would bounce the focus between two bad fields for ever.
    if (RestoringFocus_)
        return;
    try {
        target = TextToGroupAddress(field.Text());
    } catch (const Exception& error) {
        ++Refusals_;
        WindowBox(Dialogs_, *Controls_.winMain, error.Message(), box::Ok | box::IconError);
        RestoringFocus_ = true;
        const ScopeExit restored([this] { RestoringFocus_ = false; });
        field.SetFocus();
    }
}

void RangeEntry::KeepOneMark() {
    ICheckList& list = *Controls_.EibDptList;
    const int current = list.CurrentRow();
    for (int i = 0; i < list.Count(); ++i) {
        if (i != current && list.Checked(i))
            list.SetChecked(i, false);
    }
}

void RangeEntry::ToggleCurrentRow() {
    // The view has made the clicked row current; a disabled row takes no mark, as its box would not.
    ICheckList& list = *Controls_.EibDptList;
    const int row = list.CurrentRow();
    if (row < 0 || row >= list.Count() || !list.ItemEnabled(row))
        return;
    list.SetChecked(row, !list.Checked(row));
    KeepOneMark();
}

std::optional<int> RangeEntry::CheckedType() {
    ICheckList& list = *Controls_.EibDptList;
    for (int i = 0; i < list.Count(); ++i)
        if (list.Checked(i))
            return i;
    WindowBox(Dialogs_, *Controls_.winMain, "Please select a datapoint type!", box::Ok | box::IconError);
    list.SetFocus();
    return std::nullopt;
}

void RangeEntry::Add(int type) {
    Group_.DatapointType = static_cast<std::int8_t>(type);
    const bool addingAll = AnswerToAll_.has_value();
    ICommandList& list = *Controls_.CommandList;
    GroupLineIndex& groups = Document_.Groups();
    for (const int entry : groups.EntriesWithStart(Group_.StartAddress)) {
        const TEibGroup& old = groups.Group(entry);
        if (SameRange(old, Group_))
            return;
        const int line = groups.LineOf(entry);
        int answer = AnswerToAll_.value_or(0);
        if (answer == 0) {
            const std::string question = "Group with same starting address allready exists.\nDo you wish to "
                                         "replace\n\ngroup address: " +
                                         GroupAddressToText(old.StartAddress) + " to " +
                                         GroupAddressToText(old.EndAddress) + ")\n" + "\nwith\n\n" +
                                         "group address: " + GroupAddressToText(Group_.StartAddress) +
                                         " to " + GroupAddressToText(Group_.EndAddress) + ")?";
            // The addresses alone do not tell two ranges of another type apart: the lines do.
            const std::string detail = "Line " + std::to_string(line + 1) + ": " + list.Line(line) +
                                       "\nNew: " + BuildGroupLine(Group_);
            // Replacing cannot be undone: Return keeps the line.
            answer = WindowBox(
                Dialogs_, *Controls_.winMain, question,
                (addingAll ? box::YesNoToAll : box::YesNo) | box::IconQuestion | box::DefaultNo, detail);
            if (answer == box::IdYesToAll || answer == box::IdNoToAll)
                AnswerToAll_ = answer;
        }
        if (answer == box::IdYes || answer == box::IdYesToAll) {
            Document_.ReplaceGroupLine(entry, Group_);
            if (!addingAll)
                list.ScrollToLine(line);
            return;
        }
    }
    const int line = Document_.AppendGroupLine(Group_);
    if (!addingAll)
        list.ScrollToLine(line);
}

} // namespace zelo
