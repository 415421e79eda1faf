#pragma once
// The readers behind ReadEtsExport, one per format; each reads decoded text (UTF-8, no byte-order mark, no
// zero character, adopted by the reading's TextStore) and fills the reading's records, bad entries, warnings
// and, when the file cannot be read at all, its refusal. Records point into the text or into copies kept in
// the same store.
#include "ets/EtsExport.h"

#include <string_view>

namespace zelo::exports {

void ReadCsv(std::string_view text, ExportReading& reading);
void ReadEsf(std::string_view text, ExportReading& reading);
void ReadXml(std::string_view text, ExportReading& reading);

// Line 2's text before its first TAB ends in ".M/N/S".
bool LooksLikeEsf(std::string_view text);

// "Line 7: " for a 1-based line.
std::string LinePrefix(int line);
// The warning for a datatype text whose types map to different keywords; type is the one taken.
std::string TypeConflictWarning(int line, std::string_view dptText, int type);
// An upper bound of the records a text can hold, to reserve them at once (one per line end, plus one).
std::size_t LineEndCount(std::string_view text);

} // namespace zelo::exports
