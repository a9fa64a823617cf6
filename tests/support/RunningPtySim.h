#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "sim/PtySim.h"

namespace tkan::test {

// The simulated instrument answering on its pseudo-terminal from the moment
// it is made. A machine that cannot give it a terminal cannot run the test,
// so a failed start throws and the test fails there.
class RunningPtySim : public PtySim {
public:
    explicit RunningPtySim(const SimOptions& options = {})
        : RunningPtySim(options, DemoRecordSet(options.model, options.clockStart))
    {
    }
    RunningPtySim(SimOptions options, std::vector<SimStoredRecord> records)
        : PtySim(std::move(options), std::move(records))
    {
        std::string error;
        if (!Start(error))
            throw std::runtime_error("simulator: " + error);
    }
};

}  // namespace tkan::test
