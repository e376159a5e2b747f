#include "localsearch/ExchangeSearch.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// 64 bits that look independent of `draw`'s (a SplitMix64 finaliser): the
// top byte of a draw makes the proposal's choices, these pick its move.
std::uint64_t Mix(std::uint64_t draw) {
  std::uint64_t z = draw + 0x9e3779b97f4a7c15ULL;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

// A share in [0, 1] as a bound on a draw's top byte.
std::uint64_t ByteBelow(double share) {
  return static_cast<std::uint64_t>(std::lround(std::clamp(share, 0.0, 1.0) * 256.0));
}

// Rounds between two looks at the clock.
constexpr unsigned int kClockEvery = 16;

}  // namespace

AnnealingSchedule WithPolish(AnnealingSchedule schedule) {
  schedule.polish = true;
  schedule.polishEvery = kPolishEvery;
  schedule.polishFrom = 0.5;
  schedule.polishShuffle = true;
  return schedule;
}

ExchangeSearch::ExchangeSearch(BGraph& graph, TimeTable& table, std::mt19937_64& engine,
                               double threshold, bool recordPerformance)
    : ExchangeSearch(graph, table, engine, threshold, recordPerformance, graph.GetMaxMatching()) {}

ExchangeSearch::ExchangeSearch(BGraph& graph, TimeTable& table, std::mt19937_64& engine,
                               double threshold, bool recordPerformance, BGraph::Matching maximum,
                               AnnealingSchedule schedule, const FollowRule& rule)
    : Search(recordPerformance),
      engine(engine),
      schedule(schedule),
      state(graph, table, maximum, threshold, rule),
      bestSuccessors(state.Successors()) {
  const double restShare = schedule.aimedShare * schedule.restAimShare;
  aimedBelow = ByteBelow(schedule.aimedShare);
  restEndBelow = ByteBelow(restShare / 2);
  restStartBelow = ByteBelow(restShare);
  repairFrom = 256 - std::min(ByteBelow(schedule.repairShare), 256 - aimedBelow);
  Start(std::move(maximum), state.Counts());
}

ExchangeSearch::Acceptance ExchangeSearch::AcceptanceAt(double temperature) const {
  Acceptance acceptance{};
  for (int db = -2; db <= 2; ++db) {
    for (int dr = -2; dr <= 2; ++dr) {
      const double change = db + schedule.restWeight * dr;
      std::uint64_t& threshold = acceptance.threshold[db + 2][dr + 2];
      if (change >= 0.0) {
        threshold = Acceptance::kAlways;
        continue;
      }
      // Below 2^-64 the probability is 0 in effect.
      threshold = static_cast<std::uint64_t>(std::ldexp(std::exp(change / temperature), 64));
    }
  }
  return acceptance;
}

void ExchangeSearch::Run(unsigned int rounds) {
  roundsPerEntry = rounds <= kMaxRecordedEntries
                       ? 1
                       : (rounds + kMaxRecordedEntries - 1) / kMaxRecordedEntries;
  const double cooling =
      rounds > 1
          ? std::pow(schedule.endTemperature / schedule.startTemperature, 1.0 / (rounds - 1))
          : 1.0;
  double temperature = rounds > 1 ? schedule.startTemperature : schedule.endTemperature;
  stopped = StopReason::Rounds;
  roundsRun = 0;
  if (stop.bounds != nullptr && stop.bounds->Proves(best)) stopped = StopReason::Proven;
  // Merging cycles away cannot be undone, and on small days it can leave a
  // state without any move; the search then starts again from the start.
  const bool startHasCycles =
      initial.chains > static_cast<int>(state.Successors().size() - start.size());
  // Halfway and three quarters through, a search that has drifted below
  // the best it met goes back to it: the cooler rest of the run then works
  // on the best plateau (on days where balance and rest pull apart, the
  // rested count gains).
  const unsigned int firstReturn = rounds / 2;
  const unsigned int secondReturn = rounds - rounds / 4;
  const auto polishRound = static_cast<unsigned int>(
      std::clamp(schedule.polishFrom, 0.0, 1.0) * static_cast<double>(rounds));
  const auto repairRound = static_cast<unsigned int>(
      std::clamp(schedule.repairStart, 0.0, 1.0) * static_cast<double>(rounds));
  for (unsigned int round = 1; round <= rounds && stopped == StopReason::Rounds; ++round) {
    if (round % kClockEvery == 0) {
      if (stop.Overtaken()) {
        stopped = StopReason::Overtaken;
        break;
      }
      if (stop.PastDeadline()) {
        stopped = StopReason::TimeLimit;
        break;
      }
    }
    if ((round == firstReturn || round == secondReturn) && IsBetter(best, state.Counts())) {
      KeepBest();
      state.Reset(BestMatching());
    }
    if ((round == firstReturn || round == secondReturn) && schedule.polishReturns) Polish();
    if (schedule.polishEvery > 0 && round >= polishRound && round % schedule.polishEvery == 0)
      Polish(schedule.polishShuffle);
    if (stopped != StopReason::Rounds) break;
    roundRepairFrom = round > repairRound ? repairFrom : 256;
    const bool moved = Round(AcceptanceAt(temperature), temperature);
    if (!moved && startHasCycles) {
      KeepBest();
      state.Reset(start);
    }
    temperature *= cooling;
    roundsRun = round;
    if (round % roundsPerEntry == 0) Record();
    Done(round);
  }
  KeepBest();
  if (schedule.polish && stopped == StopReason::Rounds) {
    state.Reset(BestMatching());
    Polish();
    KeepBest();
  }
}

void ExchangeSearch::Polish(bool shuffle) {
  KeepBest();
  BoardPolish polish(state);
  polish.SetWindow(schedule.polishSpan, schedule.polishOnce);
  const PolishOutcome outcome = shuffle ? polish.Shuffle(engine()) : polish.Run();
  polished.sweeps += outcome.sweeps;
  polished.boards += outcome.boards;
  polished.improvements += outcome.improvements;
  polished.jumps += outcome.jumps;
  if (IsBetter(state.Counts(), best)) {
    Improve(state.Counts());
    bestPending = true;
    if (stop.bounds != nullptr && stop.bounds->Proves(best)) stopped = StopReason::Proven;
  }
}

void ExchangeSearch::KeepBest() {
  if (!bestPending) return;
  bestSuccessors = state.Successors();
  bestPending = false;
}

bool ExchangeSearch::TryRepair(std::uint64_t top, std::uint64_t bits, double temperature) {
  const ChainExchange::Aim aim =
      (top & 1) == 0 ? ChainExchange::Aim::Balance : ChainExchange::Aim::RestSameEnd;
  if (!state.ProposeRepair(bits, aim, schedule.restWeight, repair)) return false;
  const double change = repair.deltaBalanced + schedule.restWeight * repair.deltaRest;
  // Its changes can pass the acceptance table's range.
  if (change < 0.0 && engine() >= std::ldexp(std::exp(change / temperature), 64)) return true;
  KeepBest();
  state.ApplyRepair(repair);
  if (IsBetter(state.Counts(), best)) {
    Improve(state.Counts());
    bestPending = true;
    if (stop.bounds != nullptr && stop.bounds->Proves(best)) stopped = StopReason::Proven;
  }
  return true;
}

bool ExchangeSearch::Round(const Acceptance& acceptance, double temperature) {
  const std::vector<std::uint32_t>& rows = state.ActiveRows();
  const std::uint64_t proposals = rows.size();
  ChainExchange::Move move;
  bool proposed = false;
  for (std::uint64_t k = 0; k < proposals; ++k) {
    const std::uint64_t draw = engine();
    const std::uint64_t top = draw >> 56;
    const std::uint64_t bits = Mix(draw);
    if (top >= roundRepairFrom) {
      if (!TryRepair(top, bits, temperature)) continue;
      proposed = true;
      if (stopped == StopReason::Proven) return true;
      continue;
    }
    if (top < aimedBelow) {
      const ChainExchange::Aim aim = top < restEndBelow     ? ChainExchange::Aim::RestSameEnd
                                     : top < restStartBelow ? ChainExchange::Aim::RestSameStart
                                                            : ChainExchange::Aim::Balance;
      if (!state.ProposeAimed(bits, aim, move)) continue;
    } else {
      const std::uint32_t row = rows[((bits & 0xFFFFFFFFu) * proposals) >> 32];
      const std::uint32_t column = state.Neighbour(
          row, static_cast<std::uint32_t>(((bits >> 32) * state.Degree(row)) >> 32));
      if (!state.Propose(row, column, move)) continue;
    }
    proposed = true;
    if (move.deltaChains == 0) {
      const std::uint64_t threshold =
          acceptance.threshold[move.deltaBalanced + 2][move.deltaRest + 2];
      if (threshold != Acceptance::kAlways && engine() >= threshold) continue;
    }
    KeepBest();
    state.Apply(move);
    if (IsBetter(state.Counts(), best)) {
      Improve(state.Counts());
      bestPending = true;
      if (stop.bounds != nullptr && stop.bounds->Proves(best)) {
        stopped = StopReason::Proven;
        return true;
      }
    }
  }
  return proposed;
}

BGraph::Matching ExchangeSearch::BestMatching() const {
  const std::vector<std::uint32_t>& successors = bestPending ? state.Successors() : bestSuccessors;
  const auto n = static_cast<int>(successors.size());
  BGraph::Matching matching;
  for (int row = 0; row < n; ++row)
    if (successors[row] != ChainExchange::kNone)
      matching.emplace_back(row, n + static_cast<int>(successors[row]));
  return matching;
}
