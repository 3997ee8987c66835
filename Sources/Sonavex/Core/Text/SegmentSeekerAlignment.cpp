// Word timings from the alignment weights: the warping path, and the words' starts, ends and
// probabilities along it.

#include "Sonavex/Core/Text/SegmentSeeker.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace sonavex {

namespace {

constexpr int kDiagonal = 0;
constexpr int kUp = 1;
constexpr int kLeft = 2;

// Times of a path with no cells: the end of a 30-second window.
constexpr float kWindowEnd = 1500 * SegmentSeeker::secondsPerTimeToken;

} // namespace

WarpingPath SegmentSeeker::dynamicTimeWarping(const ml::MultiArray& matrix) const {
    if (matrix.shape().size() != 2) {
        throw WhisperError::segmentingFailed("Invalid alignment matrix shape");
    }
    const auto rows = static_cast<size_t>(matrix.shape()[0]);
    const auto columns = static_cast<size_t>(matrix.shape()[1]);

    // Costs of the cells, one row above and one column left of the matrix as the starting border.
    std::vector<double> cost((rows + 1) * (columns + 1), std::numeric_limits<double>::infinity());
    const auto at = [columns](size_t i, size_t j) { return i * (columns + 1) + j; };
    cost[0] = 0;
    std::vector<std::vector<int>> trace(rows + 1, std::vector<int>(columns + 1, -1));
    for (size_t j = 1; j <= columns; ++j) {
        trace[0][j] = kLeft;
    }
    for (size_t i = 1; i <= rows; ++i) {
        trace[i][0] = kUp;
    }

    for (size_t i = 1; i <= rows; ++i) {
        for (size_t j = 1; j <= columns; ++j) {
            const double x = matrix.value(static_cast<int64_t>((i - 1) * columns + (j - 1)));
            const double c0 = cost[at(i - 1, j - 1)] - x;
            const double c1 = cost[at(i - 1, j)] - x;
            const double c2 = cost[at(i, j - 1)] - x;
            // Ties go to the move along time.
            if (c0 < c1 && c0 < c2) {
                cost[at(i, j)] = c0;
                trace[i][j] = kDiagonal;
            } else if (c1 < c0 && c1 < c2) {
                cost[at(i, j)] = c1;
                trace[i][j] = kUp;
            } else {
                cost[at(i, j)] = c2;
                trace[i][j] = kLeft;
            }
        }
    }
    return backtrace(trace);
}

WarpingPath SegmentSeeker::backtrace(const std::vector<std::vector<int>>& traceMatrix) const {
    WarpingPath path;
    if (traceMatrix.empty()) {
        return path;
    }
    auto i = static_cast<int64_t>(traceMatrix.size()) - 1;
    auto j = static_cast<int64_t>(traceMatrix[0].size()) - 1;
    while (i > 0 || j > 0) {
        path.textIndices.push_back(i - 1);
        path.timeIndices.push_back(j - 1);
        const auto& row = traceMatrix[static_cast<size_t>(i)];
        const int code = j >= 0 && j < static_cast<int64_t>(row.size()) ? row[static_cast<size_t>(j)] : -1;
        if (code == kDiagonal && i > 0 && j > 0) {
            --i;
            --j;
        } else if (code == kUp && i > 0) {
            --i;
        } else if (code == kLeft && j > 0) {
            --j;
        } else {
            throw WhisperError::segmentingFailed("Trace matrix leads off the matrix at row " +
                                                 std::to_string(i) + ", column " + std::to_string(j));
        }
    }
    std::reverse(path.textIndices.begin(), path.textIndices.end());
    std::reverse(path.timeIndices.begin(), path.timeIndices.end());
    return path;
}

std::vector<WordTiming> SegmentSeeker::findAlignment(const std::vector<int64_t>& wordTokenIds,
                                                     const ml::MultiArray& alignmentWeights,
                                                     const std::vector<float>& tokenLogProbs,
                                                     const WhisperTokenizer& tokenizer) const {
    const WarpingPath path = dynamicTimeWarping(alignmentWeights);
    const WordTokens split =
        tokenizer.splitToWordTokens(std::vector<int>(wordTokenIds.begin(), wordTokenIds.end()));
    if (split.wordTokens.size() < 2) {
        return {};
    }

    // A token starts where the path reaches its row and ends where the next token starts.
    std::vector<float> starts{0.0f};
    std::vector<float> ends;
    if (!path.textIndices.empty()) {
        int64_t current = path.textIndices.front();
        for (size_t i = 0; i < path.textIndices.size(); ++i) {
            if (path.textIndices[i] != current) {
                const float time = static_cast<float>(path.timeIndices[i]) * secondsPerTimeToken;
                starts.push_back(time);
                ends.push_back(time);
                current = path.textIndices[i];
            }
        }
    }
    ends.push_back(path.timeIndices.empty()
                       ? kWindowEnd
                       : static_cast<float>(path.timeIndices.back()) * secondsPerTimeToken);

    std::vector<WordTiming> alignment;
    size_t position = 0;
    const size_t words = std::min(split.words.size(), split.wordTokens.size());
    for (size_t k = 0; k < words; ++k) {
        const std::vector<int>& tokens = split.wordTokens[k];
        if (tokens.empty()) {
            continue;
        }
        const size_t next = position + tokens.size();
        if (next > starts.size()) {
            throw WhisperError::segmentingFailed("Words cover " + std::to_string(next) +
                                                 " tokens, the alignment has " +
                                                 std::to_string(starts.size()));
        }
        if (next > tokenLogProbs.size()) {
            throw WhisperError::segmentingFailed("Words cover " + std::to_string(next) + " tokens, only " +
                                                 std::to_string(tokenLogProbs.size()) +
                                                 " have log-probabilities");
        }
        float sum = 0;
        for (size_t p = position; p < next; ++p) {
            sum += tokenLogProbs[p];
        }
        WordTiming timing;
        timing.word = split.words[k];
        timing.tokens.assign(tokens.begin(), tokens.end());
        timing.start = starts[position];
        timing.end = ends[next - 1];
        timing.probability = std::exp(sum / static_cast<float>(tokens.size()));
        alignment.push_back(std::move(timing));
        position = next;
    }
    return alignment;
}

} // namespace sonavex
