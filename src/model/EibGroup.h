#pragma once
#include "model/Persistent.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zelo {

// One run of consecutive group addresses sharing a datapoint type and an access type.
class TEibGroup : public TPersistent {
public:
    std::int8_t DatapointType = 0; // catalogue index 0..16
    std::uint8_t AccessType = 2;   // 0 read only, 1 write only, 2 read and write
    std::uint16_t StartAddress = 0;
    std::uint16_t EndAddress = 0;

    TEibGroup() = default;
    ~TEibGroup() override = default;
    void Assign(const TPersistent& source) override;

    // Command-language keyword of DatapointType (an index outside the catalogue gives an empty text).
    std::string TypeKeyword() const;
    // "R", "W", "RW", or empty for any other access type.
    std::string AccessText() const;
};

// The access type that an access text names ("R", "W" or "RW"), or -1.
int AccessTypeFromText(std::string_view text);

// Ordered, owning, bounded table of group ranges.
class TEibGroups : public TPersistent {
public:
    const int MaxCount;

    explicit TEibGroups(int maxCount);
    ~TEibGroups() override;
    TEibGroups(const TEibGroups&) = delete;
    TEibGroups& operator=(const TEibGroups&) = delete;

    int Count() const { return static_cast<int>(Entries.size()); }
    TEibGroup& Items(int index) const;
    TEibGroup& Add();
    TEibGroup& AddCopy(const TEibGroup& source);
    void AddCopies(const TEibGroups& other);
    void Delete(int index);
    virtual void Clear();

private:
    std::vector<std::unique_ptr<TEibGroup>> Entries;
};

extern const char* const NoMoreConfigurationMessage;

} // namespace zelo
