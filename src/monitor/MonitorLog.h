#pragma once
// A monitor's log file: every line appended as it comes and handed to the system at once.
#include "monitor/MonitorLines.h"
#include "os/Files.h"

#include <string>

namespace zelo {

class MonitorLog {
public:
    // Creates the file or goes on at its end; a CSV log gets its heading when it was empty. Raises Exception
    // "Can't write NAME: REASON".
    explicit MonitorLog(const std::string& fileName);
    void Write(const std::string& time, const AnnotatedLine& line);

private:
    os::AppendFile File_;
    bool Csv_;
};

} // namespace zelo
