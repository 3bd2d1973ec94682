#include "logcraft/formatter.hpp"

#include "logcraft/logger.hpp"

namespace logcraft {

std::string Formatter::format(const EntryContext& context, const std::string& message) const {
    std::ostringstream os;
    os << context.level << " - " << message << '\n';
    return os.str();
}

void Formatter::initialize() {
    detail::GetStartTime();
}

namespace detail {

void writeField(std::ostream& os, Field field, const EntryContext& context,
                const std::string& message) {
    switch (field) {
    case Field::FileName: {
        const std::string path = context.filename;
        const auto slash = path.rfind('/');
        os << (slash == std::string::npos ? path : path.substr(slash + 1));
        break;
    }
    case Field::FilePath:
        os << context.filename;
        break;
    case Field::Line:
        os << context.line;
        break;
    case Field::Function:
        os << context.funcname;
        break;
    case Field::LoggerName:
        os << (context.logger ? context.logger->getName() : "");
        break;
    case Field::Message:
        os << message;
        break;
    case Field::LogLevel: {
        std::ostringstream level;
        level << context.level;
        os << level.str();
        break;
    }
    case Field::WallTime:
        os << std::chrono::duration_cast<std::chrono::milliseconds>(context.timestamp -
                                                                    GetStartTime())
                  .count();
        break;
    }
}

} // namespace detail

void TimeStr::write(std::ostream& os, const EntryContext& context, const std::string&) const {
    const std::time_t time = std::chrono::system_clock::to_time_t(context.timestamp);
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) {
        return;
    }
    char buffer[1024];
    const std::size_t length = std::strftime(buffer, sizeof buffer, formatStr.c_str(), &local);
    if (length > 0) {
        os.write(buffer, static_cast<std::streamsize>(length));
    }
}

} // namespace logcraft
