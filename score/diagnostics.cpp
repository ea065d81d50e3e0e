#include "diagnostics.h"

namespace tez {

std::string FormatWarning(const std::string& scoreName, const Diagnostic& diagnostic) {
    return scoreName + ":" + std::to_string(diagnostic.line) + ": warning: " + diagnostic.message;
}

}  // namespace tez
