#include "terminal_width.h"

#include <sys/ioctl.h>

#include <cstdlib>

namespace tez::cli {
namespace {

constexpr int kUsualColumns = 80;

}  // namespace

int TerminalColumns(int fd) {
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    if (const char* columns = std::getenv("COLUMNS")) {
        const long value = std::strtol(columns, nullptr, 10);
        if (value > 0 && value < 100000) {
            return static_cast<int>(value);
        }
    }
    return kUsualColumns;
}

std::string FittedLine(const std::string& line, int columns) {
    const auto room = static_cast<std::size_t>(columns > 1 ? columns - 1 : 0);
    return line.size() > room ? line.substr(0, room) : line;
}

}  // namespace tez::cli
