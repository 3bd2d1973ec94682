// reversi.Map: a map read from a file or a text. The reader's log lines become the message of
// the ValueError that a map it rejects raises.
#include <memory>
#include <sstream>
#include <string>

#include <pybind11/pybind11.h>

#include "Bindings.hpp"
#include "common/Logging.hpp"

namespace py = pybind11;

namespace reversi_python {

namespace {

// A sink that appends each message of the map logger to one text, a line each.
class TextSink : public logcraft::Sink {
public:
    const std::string& text() const { return m_text; }

protected:
    void logEntry(const std::string& message) const override {
        m_text += m_text.empty() ? message : "\n" + message;
    }

private:
    mutable std::string m_text;
};

// Runs `read` on a new map with the map logger's messages (warnings and errors) going to a
// text instead of the program's log; raises ValueError with that text when the map is invalid.
template <typename Read>
std::shared_ptr<const Map> readMap(const std::string& what, Read&& read) {
    using namespace logcraft;
    auto sink = std::make_shared<TextSink>();
    sink->setFormatter(makeTemplateFormatter(FieldStr<Field::Message, 0, RIGHT, ' '>()));
    const bool additive = loggerMap->getAdditive();
    loggerMap->addSink(sink);
    loggerMap->setAdditive(false);
    loggerMap->setLevel(LogLevel::WARN);
    auto map = std::make_shared<Map>();
    const bool ok = read(*map) && map->isValid();
    loggerMap->removeSink(sink);
    loggerMap->setAdditive(additive);
    loggerMap->setLevel(LogLevel::INHERIT);
    if (!ok) {
        throw py::value_error("invalid map " + what + (sink->text().empty() ? "" : ": ") +
                              sink->text());
    }
    return map;
}

} // namespace

std::string mapText(const Map& map) {
    std::ostringstream out;
    out << map;
    return out.str();
}

void bindMap(py::module_& module) {
    py::class_<Map, std::shared_ptr<Map>>(module, "Map", "A game map, read and checked")
        .def_static(
            "load",
            [](const std::string& path) {
                return readMap(path, [&path](Map& map) { return map.loadFromFile(path); });
            },
            py::arg("path"), "Reads a map file; ValueError with the reader's messages if invalid")
        .def_static(
            "from_text",
            [](const std::string& text) {
                return readMap("text", [&text](Map& map) { return map.loadFromString(text); });
            },
            py::arg("text"), "Reads a map from its text; ValueError if invalid")
        .def_property_readonly("name", &Map::getName)
        .def_property_readonly("players", &Map::getPlayers)
        .def_property_readonly("width", &Map::getWidth)
        .def_property_readonly("height", &Map::getHeight)
        .def_property_readonly("overrides", &Map::getOverrides, "Override stones per player")
        .def_property_readonly("bombs", &Map::getBombs, "Bombs per player")
        .def_property_readonly("bomb_strength", &Map::getBombStrength)
        .def_property_readonly("text", &mapText, "The map in map file notation")
        .def("__repr__", [](const Map& map) {
            return "<reversi.Map '" + map.getName() + "' " + std::to_string(map.getWidth()) + "x" +
                   std::to_string(map.getHeight()) + ", " + std::to_string(map.getPlayers()) +
                   " players>";
        });
}

} // namespace reversi_python
