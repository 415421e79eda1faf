#include "model/EibGroup.h"
#include "model/DatapointTypes.h"
#include "model/Error.h"

namespace zelo {

const char* const NoMoreConfigurationMessage = "No more configuration allowed!";

void TEibGroup::Assign(const TPersistent& source) {
    if (auto* group = dynamic_cast<const TEibGroup*>(&source)) {
        DatapointType = group->DatapointType;
        StartAddress = group->StartAddress;
        EndAddress = group->EndAddress;
        AccessType = group->AccessType;
    }
}

std::string TEibGroup::TypeKeyword() const {
    if (DatapointType < 0 || DatapointType >= DatapointTypeCount)
        return {};
    return std::string(DatapointTypeKeywords[static_cast<std::size_t>(DatapointType)]);
}

std::string TEibGroup::AccessText() const {
    switch (AccessType) {
    case 0:
        return "R";
    case 1:
        return "W";
    case 2:
        return "RW";
    default:
        return {};
    }
}

int AccessTypeFromText(std::string_view text) {
    for (std::uint8_t access = 0; access < 3; ++access) {
        TEibGroup group;
        group.AccessType = access;
        if (group.AccessText() == text)
            return access;
    }
    return -1;
}

TEibGroups::TEibGroups(int maxCount) : MaxCount(maxCount) {}

TEibGroups::~TEibGroups() {
    TEibGroups::Clear();
}

TEibGroup& TEibGroups::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(index);
    return *Entries[static_cast<std::size_t>(index)];
}

TEibGroup& TEibGroups::Add() {
    if (Count() >= MaxCount)
        throw Exception(NoMoreConfigurationMessage);
    Entries.push_back(std::make_unique<TEibGroup>());
    return *Entries.back();
}

TEibGroup& TEibGroups::AddCopy(const TEibGroup& source) {
    TEibGroup& entry = Add();
    entry.Assign(source);
    return entry;
}

void TEibGroups::AddCopies(const TEibGroups& other) {
    // The other count is read before every step, as the table may be this one.
    for (int i = 0; i < other.Count(); ++i)
        AddCopy(other.Items(i));
}

void TEibGroups::Delete(int index) {
    if (index < 0 || index >= Count())
        throw EListError(index);
    Entries.erase(Entries.begin() + index);
}

void TEibGroups::Clear() {
    // Delete from the back: freeing from the front would move every remaining entry each time.
    while (Count() > 0)
        Delete(Count() - 1);
}

} // namespace zelo
