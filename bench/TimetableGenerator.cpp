#include "bench/TimetableGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <random>

#include "bench/DayMinutes.h"
#include "bench/Dice.h"
#include "common/NumberText.h"

namespace bench {

namespace {

struct Network {
  std::uint32_t hubs = 0;
  std::uint32_t spokes = 0;
  std::vector<int> bankOffset;         // per hub, minutes
  std::vector<int> spokeFlightLength;  // per spoke, minutes to/from any hub

  std::uint32_t Hub(std::size_t index) const { return static_cast<std::uint32_t>(1 + index); }
  std::uint32_t Spoke(std::size_t index) const {
    return static_cast<std::uint32_t>(1 + hubs + index);
  }
};

constexpr int kBanks = 8;
constexpr int kFirstBank = 7 * 60;  // bank k of a hub centres on 07:00 + 2h * k + offset
constexpr int kBankSpacing = 2 * 60;

int BankCentre(const Network& net, std::size_t hub, int bank) {
  return kFirstBank + kBankSpacing * bank + net.bankOffset[hub];
}

Network MakeNetwork(std::size_t passages, std::size_t terminals, Dice& dice) {
  Network net;
  if (terminals == 0) {
    net.hubs = static_cast<std::uint32_t>(HubCountFor(passages));
    net.spokes = static_cast<std::uint32_t>(std::max<std::size_t>(3, passages / 30));
  } else {
    net.hubs = static_cast<std::uint32_t>(std::max<std::size_t>(1, terminals / 5));
    net.spokes = static_cast<std::uint32_t>(std::max<std::size_t>(2, terminals - net.hubs));
  }
  for (std::uint32_t h = 0; h < net.hubs; ++h) net.bankOffset.push_back(dice.Between(0, 11) * 5);
  for (std::uint32_t s = 0; s < net.spokes; ++s)
    net.spokeFlightLength.push_back(RoundTo(dice.Between(45, 180), 5));
  return net;
}

// A spoke flight into a hub's arrival bank, or out of its departure bank.
Passage HubSpokeFlight(const Network& net, Dice& dice) {
  const std::size_t hub = dice.Index(net.hubs);
  const std::size_t spoke = dice.Index(net.spokes);
  const int centre = BankCentre(net, hub, dice.Between(0, kBanks - 1));
  const int length = net.spokeFlightLength[spoke] + dice.Between(-2, 2) * 5;
  if (dice.Percent(50)) {
    const int arrival = RoundTo(centre - dice.Between(0, 45), 5);
    return MakePassage(net.Spoke(spoke), net.Hub(hub), arrival - length, arrival);
  }
  const int departure = RoundTo(centre + dice.Between(15, 60), 5);
  return MakePassage(net.Hub(hub), net.Spoke(spoke), departure, departure + length);
}

// Hub to hub: leaves in a departure bank, lands wherever its length puts it.
Passage HubHubFlight(const Network& net, Dice& dice) {
  const std::size_t from = dice.Index(net.hubs);
  std::size_t to = dice.Index(net.hubs);
  if (to == from) to = (to + 1) % net.hubs;
  const int departure =
      RoundTo(BankCentre(net, from, dice.Between(0, kBanks - 1)) + dice.Between(15, 60), 5);
  return MakePassage(net.Hub(from), net.Hub(to), departure, departure + dice.Between(60, 150));
}

Passage PointToPointFlight(const Network& net, Dice& dice) {
  const std::size_t from = dice.Index(net.spokes);
  std::size_t to = dice.Index(net.spokes);
  if (to == from) to = (to + 1) % net.spokes;
  const int departure = dice.Between(6 * 60, 21 * 60);
  return MakePassage(net.Spoke(from), net.Spoke(to), departure, departure + dice.Between(30, 150));
}

std::uint32_t AnyTerminal(const Network& net, Dice& dice) {
  // Hubs are busier: half of the picks go to a hub.
  if (dice.Percent(50)) return net.Hub(dice.Index(net.hubs));
  return net.Spoke(dice.Index(net.spokes));
}

// Leaves late in the evening and lands after midnight, so its arrival clock
// time is before its departure.
Passage OvernightFlight(const Network& net, Dice& dice) {
  const std::uint32_t from = AnyTerminal(net, dice);
  std::uint32_t to = AnyTerminal(net, dice);
  if (to == from) to = 1 + to % (net.hubs + net.spokes);
  const int departure = dice.Between(21 * 60, 23 * 60 + 59);
  const int length = std::max(kMinutesPerDay - departure + 10, dice.Between(120, 540));
  return MakePassage(from, to, departure, departure + length);
}

// Comes back to the terminal it left: a short daytime loop, or an overnight
// loop whose arrival clock time is not after its departure.
Passage RoundTrip(Dice& dice, std::uint32_t terminal) {
  if (dice.Percent(50)) {
    const int departure = dice.Between(8 * 60, 18 * 60);
    return MakePassage(terminal, terminal, departure, departure + dice.Between(30, 120));
  }
  const int departure = RoundTo(dice.Between(20 * 60, 23 * 60 + 30), 5);
  return MakePassage(terminal, terminal, departure, departure + RoundTo(dice.Between(360, 720), 5));
}

Passage DrawFlight(const Network& net, Dice& dice, std::size_t index, std::size_t roundTrips,
                   const DayMix& mix) {
  if (index < roundTrips) {
    const std::uint32_t terminal =
        mix.roundTrips < 0
            ? AnyTerminal(net, dice)
            : static_cast<std::uint32_t>(1 + index % (net.hubs + net.spokes));
    return RoundTrip(dice, terminal);
  }
  const int overnight = mix.overnightPercent;
  const int kind = dice.Between(0, 99);
  if (kind < overnight) return OvernightFlight(net, dice);
  if (kind < overnight + 12) return PointToPointFlight(net, dice);
  if (kind < overnight + 20 && net.hubs > 1) return HubHubFlight(net, dice);
  return HubSpokeFlight(net, dice);
}

}  // namespace

std::size_t HubCountFor(std::size_t passages) {
  const double hubs = std::round(std::sqrt(static_cast<double>(passages)) / 10.0);
  return std::max<std::size_t>(1, static_cast<std::size_t>(hubs));
}

std::vector<Passage> GeneratePassages(std::size_t passages, std::uint64_t seed,
                                      std::size_t terminals, const DayMix& mix) {
  Dice dice(seed);
  const Network net = MakeNetwork(passages, terminals, dice);
  const std::size_t roundTrips =
      mix.roundTrips >= 0 ? std::min<std::size_t>(passages, static_cast<std::size_t>(mix.roundTrips))
      : passages < 20     ? 0
                          : std::max<std::size_t>(2, passages / 400);
  std::vector<Passage> result;
  result.reserve(passages);
  for (std::size_t i = 0; i < passages; ++i)
    result.push_back(DrawFlight(net, dice, i, roundTrips, mix));
  NumberInShuffledOrder(result, dice.Engine());
  return result;
}

TimeTable GenerateTimetable(std::size_t passages, std::uint64_t seed) {
  TimeTable table;
  table.passages = GeneratePassages(passages, seed);
  for (std::size_t i = 0; i < table.passages.size(); ++i)
    table.positionById[table.passages[i].id] = static_cast<std::uint32_t>(i);
  return table;
}

void WriteTimetableCsv(const std::vector<Passage>& passages, std::ostream& out) {
  out << "id,origin,destination,departure,arrival\n";
  for (const Passage& p : passages) {
    out << p.id << ',' << p.origin << ',' << p.destination << ',' << ShortestText(p.departure)
        << ',' << ShortestText(p.arrival) << '\n';
  }
}

bool WriteTimetableFile(const std::vector<Passage>& passages, const std::string& path) {
  std::ofstream file(path);
  if (!file) return false;
  WriteTimetableCsv(passages, file);
  file.flush();
  return static_cast<bool>(file);
}

}  // namespace bench
