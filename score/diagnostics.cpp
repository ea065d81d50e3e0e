#include "diagnostics.h"

namespace tez {

std::string FormatWarning(const std::string& scoreName, const Diagnostic& diagnostic) {
    std::string where = scoreName + ":" + std::to_string(diagnostic.line) + ":";
    if (diagnostic.column > 0)
        where += std::to_string(diagnostic.column) + ":";
    return where + " warning: " + diagnostic.message;
}

}  // namespace tez
