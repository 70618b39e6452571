// velka-tune: fits the strong search's evaluation weights to the results of games.
//
//   velka-tune [--rule R] [--skip K] [--scale S] [--l2 L] [--hold-tempo] [--size N] game-log...
//
// --size N: the board side of the games in the logs named after it (15 until one is given), so
// that one fit can take the games of several board sizes.
// Each log line is a game as tools/match.py --log writes it ("game 7 opening 4 A black win (five)
// h8i9j10..."). Every quiet position of a game (no five or open four to be made by either side)
// from move K on is one sample: the evaluation's features for the side to move and the game's
// result for it. The weights are fitted so that 1 / (1 + exp(-evaluation / S)) predicts that result
// (logistic regression by gradient descent, with an L2 pull of L towards 0 on every weight but the
// tempo's, starting from the weights now in use), and printed as an EvaluationWeights initializer,
// with the fit's error before and after. --hold-tempo keeps the tempo as it is (a free fit to Renju
// games gave a side worse off for having the move).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/random.h"
#include "patterns/pattern_table.h"
#include "search/strong/evaluation.h"
#include "search/strong/parameters.h"
#include "search/strong/pattern_board.h"

namespace {

using namespace velka;
using search::strong::FeatureCount;

constexpr int32_t WeightCount = 2 * FeatureCount + 1;  // own, other, tempo

struct Sample {
    std::array<int32_t, WeightCount> x;  // own features, the other side's negated, 1 for tempo
    double result;                       // 1 won, 0 lost, 0.5 drawn, for the side to move
};

struct Options {
    patterns::RuleVariant variant = patterns::RuleVariant::Freestyle;
    int32_t size = 15;
    int32_t skip = 6;
    double scale = search::strong::EvaluationScale;
    double l2 = 1e-7;  // pull towards 0, per squared weight
    bool holdTempo = false;
};

search::strong::PatternBoard pb;

bool quiet(const search::strong::PatternBoard& board) {
    using namespace search::strong;
    for (int32_t colour = 1; colour <= 2; ++colour) {
        if (cellsAt(board, colour, LevelFive).count > 0 ||
            cellsAt(board, colour, LevelFlexFour).count > 0) {
            return false;
        }
    }
    return true;
}

// The samples of one log line; nothing for a line that is no game. A line reads "game 7 opening 4
// A black win (five) h8i9j10…": A's colour and result, why the game ended, and the moves from
// black's first in the page's notation (column letter, row counted from the bottom).
void readGame(const std::string& line, const Options& options, std::vector<Sample>& samples) {
    std::istringstream words(line);
    std::string game, number, opening, openingNumber, a, colour, outcome;
    if (!(words >> game >> number >> opening >> openingNumber >> a >> colour >> outcome) ||
        game != "game" || a != "A") {
        return;
    }
    const size_t lastSpace = line.find_last_of(' ');
    const std::string moves = line.substr(lastSpace + 1);
    const bool aBlack = colour == "black";
    double black = 0.5;
    if (outcome == "win") black = aBlack ? 1 : 0;
    if (outcome == "loss") black = aBlack ? 0 : 1;
    board::seedRandom(board::DefaultRandomSeed);
    board::initBoard(options.size, options.size);
    board::buildWindowOffsets(options.size);
    board::engineBoard.firstPlayer = 1;  // black is colour 1
    search::strong::resetPatternBoard(pb, board::engineBoard, options.variant);
    size_t at = 0;
    for (int32_t k = 0; at < moves.size(); ++k) {
        const int32_t stoneColour = 1 + k % 2;
        if (k >= options.skip && quiet(pb)) {
            Sample s;
            const auto& own = pb.features[stoneColour - 1];
            const auto& other = pb.features[2 - stoneColour];
            for (int32_t f = 0; f < FeatureCount; ++f) {
                s.x[f] = own[f];
                s.x[FeatureCount + f] = -other[f];
            }
            s.x[2 * FeatureCount] = 1;
            s.result = stoneColour == 1 ? black : 1 - black;
            samples.push_back(s);
        }
        const int32_t x = moves[at++] - 'a';
        int32_t row = 0;
        while (at < moves.size() && moves[at] >= '0' && moves[at] <= '9') {
            row = row * 10 + (moves[at++] - '0');
        }
        const int32_t y = options.size - row;
        if (x < 0 || x >= options.size || y < 0 || y >= options.size) return;
        const int32_t cell = x + y * options.size;
        if (pb.board.cells[cell] != board::CellEmpty) return;
        search::strong::playStone(pb, cell, stoneColour);
    }
}

double predict(const std::array<double, WeightCount>& w, const Sample& s, double scale) {
    double e = 0;
    for (int32_t i = 0; i < WeightCount; ++i) e += w[i] * s.x[i];
    return 1 / (1 + std::exp(-e / scale));
}

double crossEntropy(const std::array<double, WeightCount>& w, const std::vector<Sample>& samples,
                    double scale) {
    double sum = 0;
    for (const Sample& s : samples) {
        const double p = std::min(std::max(predict(w, s, scale), 1e-9), 1 - 1e-9);
        sum -= s.result * std::log(p) + (1 - s.result) * std::log(1 - p);
    }
    return sum / static_cast<double>(samples.size());
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    struct Log {
        std::string path;
        int32_t size;
    };
    std::vector<Log> logs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool value = i + 1 < argc;
        if (arg == "--rule" && value) {
            const int rule = std::atoi(argv[++i]);
            options.variant = (rule & 4) != 0   ? patterns::RuleVariant::Renju
                              : (rule & 1) != 0 ? patterns::RuleVariant::ExactFive
                                                : patterns::RuleVariant::Freestyle;
        } else if (arg == "--size" && value) {
            options.size = std::atoi(argv[++i]);
        } else if (arg == "--skip" && value) {
            options.skip = std::atoi(argv[++i]);
        } else if (arg == "--scale" && value) {
            options.scale = std::atof(argv[++i]);
        } else if (arg == "--l2" && value) {
            options.l2 = std::atof(argv[++i]);
        } else if (arg == "--hold-tempo") {
            options.holdTempo = true;
        } else {
            logs.push_back({arg, options.size});
        }
    }
    patterns::buildPatternTables(options.variant);
    std::vector<Sample> samples;
    for (const Log& log : logs) {
        options.size = log.size;
        std::ifstream file(log.path);
        for (std::string line; std::getline(file, line);) readGame(line, options, samples);
    }
    if (samples.empty()) {
        std::fprintf(stderr, "no positions read\n");
        return 1;
    }
    const search::strong::EvaluationWeights& now = search::strong::weightsFor(options.variant);
    std::array<double, WeightCount> w{};
    for (int32_t f = 0; f < FeatureCount; ++f) {
        w[f] = now.own[f];
        w[FeatureCount + f] = now.other[f];
    }
    w[2 * FeatureCount] = now.tempo;
    const double before = crossEntropy(w, samples, options.scale);
    // Adam on the mean cross entropy, full batch.
    std::array<double, WeightCount> m{}, v{};
    // The step shrinks to nothing by the last one: at a full rate the weights end up circling the
    // optimum, a fit that had started there could end worse than it began.
    constexpr double Rate = 2.0, Beta1 = 0.9, Beta2 = 0.999;
    constexpr int Steps = 3000;
    for (int step = 1; step <= Steps; ++step) {
        const double rate = Rate * (Steps - step + 1) / Steps;
        std::array<double, WeightCount> g{};
        for (const Sample& s : samples) {
            const double error = predict(w, s, options.scale) - s.result;
            for (int32_t i = 0; i < WeightCount; ++i) g[i] += error * s.x[i];
        }
        for (int32_t i = 0; i < WeightCount; ++i) {
            if (options.holdTempo && i == 2 * FeatureCount) continue;
            const double gi = g[i] / options.scale / static_cast<double>(samples.size()) +
                              (i < 2 * FeatureCount ? 2 * options.l2 * w[i] : 0);
            m[i] = Beta1 * m[i] + (1 - Beta1) * gi;
            v[i] = Beta2 * v[i] + (1 - Beta2) * gi * gi;
            const double mHat = m[i] / (1 - std::pow(Beta1, step));
            const double vHat = v[i] / (1 - std::pow(Beta2, step));
            w[i] -= rate * mHat / (std::sqrt(vHat) + 1e-8);
        }
    }
    std::printf("%zu positions; cross entropy %.5f before, %.5f after\n", samples.size(), before,
                crossEntropy(w, samples, options.scale));
    for (int32_t side = 0; side < 2; ++side) {
        std::printf("    {");
        for (int32_t f = 0; f < FeatureCount; ++f) {
            std::printf("%s%ld", f == 0 ? "" : ", ", std::lround(w[side * FeatureCount + f]));
        }
        std::printf("},\n");
    }
    std::printf("    %ld,\n", std::lround(w[2 * FeatureCount]));
    return 0;
}
