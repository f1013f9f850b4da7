#include "writers/workers_file.h"

#include "writers/marker.h"

namespace vorlan::writers {

using settings::StageResult;

std::vector<std::string> workers_file_lines(bool use_ajp12) {
    // Both names are listed whichever worker is defined.
    std::vector<std::string> lines = {std::string(configured_marker), "ps=\\",
                                      "worker.list=ajp12, ajp13"};
    if (use_ajp12) {
        lines.insert(lines.end(), {"# Definition for Ajp12 worker", "worker.ajp12.port=8007",
                                   "worker.ajp12.host=localhost", "worker.ajp12.type=ajp12"});
    } else {
        lines.insert(lines.end(), {"# Definition for Ajp13 worker", "worker.ajp13.port=8009",
                                   "worker.ajp13.host=localhost", "worker.ajp13.type=ajp13"});
    }
    return lines;
}

StageResult create_workers_file(const settings::InstallSettings &s) {
    return write_once(s.workers_file, workers_file_lines(s.use_ajp12));
}

} // namespace vorlan::writers
