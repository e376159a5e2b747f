#include "se/Selection.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// Scores below the largest by more than this (natural logarithm) are
// raised to it: exp of it is still a normal double.
constexpr double kLowestRelativeLog = -690.0;

}  // namespace

std::vector<double> ScoresFromLogs(const std::vector<double>& logScores) {
  std::vector<double> scores(logScores.size());
  if (logScores.empty()) return scores;
  const double largest = *std::max_element(logScores.begin(), logScores.end());
  for (std::size_t c = 0; c < scores.size(); ++c)
    scores[c] = std::exp(std::max(logScores[c] - largest, kLowestRelativeLog));
  return scores;
}

Inclusion ProportionalInclusion(const std::vector<double>& scores, std::size_t budget) {
  const std::size_t count = scores.size();
  Inclusion result;
  if (count <= budget) {
    result.probability.assign(count, 1.0);
    result.inverse.assign(count, 1.0);
    return result;
  }
  // Scores relative to the largest: equal scores become exactly 1, so that
  // their sum, and the inverses, are exact whole numbers.
  const double largest = *std::max_element(scores.begin(), scores.end());
  std::vector<double> score(count);
  for (std::size_t c = 0; c < count; ++c) score[c] = scores[c] / largest;
  if (budget == 1) {
    // Nothing is capped: each share is below 1 as count > 1.
    double total = 0.0;
    for (const double value : score) total += value;
    result.probability.resize(count);
    result.inverse.resize(count);
    for (std::size_t c = 0; c < count; ++c) {
      result.probability[c] = score[c] / total;
      result.inverse[c] = total / score[c];
    }
    return result;
  }

  // The largest scores are capped while the rest, scaled to fill what is
  // left of the budget, would exceed 1.
  std::vector<std::size_t> byScore(count);
  std::iota(byScore.begin(), byScore.end(), std::size_t{0});
  std::sort(byScore.begin(), byScore.end(),
            [&score](std::size_t a, std::size_t b) { return score[a] > score[b]; });
  double rest = 0.0;
  for (std::size_t k = count; k-- > 0;) rest += score[byScore[k]];
  std::size_t capped = 0;
  while (capped < budget) {
    const double share = static_cast<double>(budget - capped);
    if (score[byScore[capped]] * share <= rest) break;
    rest -= score[byScore[capped]];
    ++capped;
  }
  // Once capped, the remaining sum is recomputed from the small end, so that
  // its rounding does not depend on the capped terms.
  if (capped > 0) {
    rest = 0.0;
    for (std::size_t k = count; k-- > capped;) rest += score[byScore[k]];
  }
  const double share = static_cast<double>(budget - capped);
  result.probability.assign(count, 1.0);
  result.inverse.assign(count, 1.0);
  for (std::size_t k = capped; k < count; ++k) {
    const std::size_t c = byScore[k];
    result.probability[c] = share * score[c] / rest;
    result.inverse[c] = rest / (share * score[c]);
  }
  return result;
}

std::vector<std::size_t> SystematicSample(const std::vector<double>& probability, Draws& draws) {
  std::vector<std::size_t> kept;
  std::vector<std::size_t> open;  // candidates with probability below 1
  for (std::size_t c = 0; c < probability.size(); ++c) {
    if (probability[c] >= 1.0)
      kept.push_back(c);
    else
      open.push_back(c);
  }
  if (open.empty()) return kept;
  std::vector<double> ends(open.size());  // cumulative ends of the intervals
  std::vector<double> cuts;
  cuts.reserve(open.size() + 1);
  double end = 0.0;
  for (std::size_t k = 0; k < open.size(); ++k) {
    cuts.push_back(end - std::floor(end));
    end += probability[open[k]];
    ends[k] = end;
  }
  cuts.push_back(end - std::floor(end));
  const double u = draws.Point(cuts);
  // The open probabilities sum to a whole number up to rounding: exactly
  // that many points, a point past the last end (by rounding) falling in the
  // last interval.
  const std::size_t points = static_cast<std::size_t>(std::llround(end));
  std::size_t k = 0;
  for (std::size_t t = 0; t < points; ++t) {
    const double point = u + static_cast<double>(t);
    while (k + 1 < open.size() && ends[k] <= point) ++k;
    if (kept.empty() || kept.back() != open[k]) kept.push_back(open[k]);
  }
  std::sort(kept.begin(), kept.end());
  return kept;
}

std::vector<std::size_t> UniformSample(std::size_t count, std::size_t budget, Draws& draws) {
  std::vector<std::size_t> items(count);
  std::iota(items.begin(), items.end(), std::size_t{0});
  const std::size_t kept = std::min(budget, count);
  for (std::size_t k = 0; k < kept; ++k) std::swap(items[k], items[k + draws.Below(count - k)]);
  items.resize(kept);
  return items;
}
