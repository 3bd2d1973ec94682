#include "tools/map/MapCommands.hpp"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <unistd.h>

#include "common/FileIO.hpp"
#include "common/GameRecord.hpp"
#include "replay/ReplayData.hpp"
#include "replay/ReplayPage.hpp"
#include "replay/SvgBoard.hpp"
#include "tools/map/MapCheck.hpp"
#include "tools/map/MapStats.hpp"

namespace {

void fail(const std::string& message) {
    std::cerr << "reversi-map: " << message << std::endl;
}

// Reads a map that the command needs valid; its messages go to standard error otherwise.
bool loadValidMap(const std::string& file, MapReport& report) {
    report = checkMapFile(file);
    if (!report.valid()) {
        printReport(std::cerr, report);
    }
    return report.valid();
}

bool loadRecord(const std::string& path, GameRecordData& record) {
    std::string error;
    if (!loadGameRecord(path, record, error)) {
        fail(path + ": " + error);
        return false;
    }
    return true;
}

std::string scoresText(const ReplayFrame& frame) {
    std::ostringstream os;
    os << "scores";
    for (std::size_t p = 0; p < frame.scores.size(); ++p) {
        os << "  P" << p + 1 << ": ";
        if (frame.scores[p] < 0) {
            os << "out";
        } else {
            os << frame.scores[p];
        }
    }
    return os.str();
}

// Shows "game 3/10" on a terminal while self-play runs.
void showProgress(unsigned done, unsigned total) {
    if (isatty(STDERR_FILENO) != 1) {
        return;
    }
    std::cerr << "\rgame " << done << '/' << total << (done == total ? "\n" : "") << std::flush;
}

} // namespace

bool writeOutput(const std::string& path, const std::string& text) {
    if (path.empty() || path == "-") {
        std::cout << text << std::flush;
        return static_cast<bool>(std::cout);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!(out << text) || !out.flush()) {
        fail("cannot write " + path);
        return false;
    }
    return true;
}

bool runCheck(const std::vector<std::string>& files, std::ostream& out) {
    bool allValid = true;
    for (const std::string& file : files) {
        const MapReport report = checkMapFile(file);
        printReport(out, report);
        allValid = allValid && report.valid();
    }
    return allValid;
}

bool runFormat(const std::string& file, bool inPlace, const std::string& output) {
    MapReport report;
    if (!loadValidMap(file, report)) {
        return false;
    }
    std::ostringstream text;
    text << *report.map;
    if (!inPlace) {
        return writeOutput(output, text.str());
    }
    std::string reason;
    if (file == "-" || !writeFileAtomically(file, text.str(), reason)) {
        fail("cannot rewrite " + file);
        return false;
    }
    return true;
}

bool runStats(const std::string& file, unsigned games, std::uint32_t seed, std::ostream& out) {
    MapReport report;
    if (!loadValidMap(file, report)) {
        return false;
    }
    MapStats stats = mapStats(*report.map);
    if (games > 0) {
        addSelfPlay(*report.map, games, seed, stats,
                    [games](unsigned done) { showProgress(done, games); });
    }
    printStats(out, stats);
    if (const auto warning = bombWarning(*report.map)) {
        out << "warning: " << *warning << '\n';
    }
    return true;
}

bool runRender(const std::string& file, const std::string& recordPath, std::optional<unsigned> move,
               const std::string& output) {
    SvgOptions options;
    if (recordPath.empty()) {
        MapReport report;
        if (!loadValidMap(file, report)) {
            return false;
        }
        options.title = file;
        return writeOutput(output, renderBoardSvg(*report.map, pictureOfMap(*report.map), options));
    }
    GameRecordData record;
    if (!loadRecord(recordPath, record)) {
        return false;
    }
    const std::size_t limit = move.value_or(static_cast<unsigned>(record.events.size()));
    if (limit > record.events.size()) {
        fail("the record holds " + std::to_string(record.events.size()) + " events, not " +
             std::to_string(limit));
        return false;
    }
    ReplayData data;
    std::string error;
    if (!replayRecord(record, limit, data, error)) {
        fail(recordPath + ": " + error);
        return false;
    }
    Map map;
    map.loadFromString(record.mapText);
    options.title = recordPath + (limit == 0 ? ", start"
                                             : ", after event " + std::to_string(limit) + ": " +
                                                   data.events.back().text);
    options.caption = scoresText(data.frames.back());
    return writeOutput(output, renderBoardSvg(map, data.frames.back().picture, options));
}

bool runReplay(const std::string& recordPath, const std::string& output) {
    GameRecordData record;
    if (!loadRecord(recordPath, record)) {
        return false;
    }
    const std::string name = std::filesystem::path(recordPath).filename().string();
    std::string page;
    std::string error;
    if (!recordReplayPage(record, "Replay of " + name, page, error)) {
        fail(recordPath + ": " + error);
        return false;
    }
    return writeOutput(output, page);
}

bool runGenerate(const GeneratorOptions& options, const std::string& output) {
    std::string text;
    std::string error;
    if (!generateMap(options, text, error)) {
        fail(error);
        return false;
    }
    return writeOutput(output, text);
}
