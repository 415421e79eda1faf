#include "monitor/MonitorLog.h"

namespace zelo {

MonitorLog::MonitorLog(const std::string& fileName) : File_(fileName), Csv_(IsCsvLogName(fileName)) {
    if (Csv_ && File_.WasEmpty())
        File_.Append(CsvLogHeading);
}

void MonitorLog::Write(const std::string& time, const AnnotatedLine& line) {
    File_.Append(LogRecord(Csv_, time, line));
}

} // namespace zelo
