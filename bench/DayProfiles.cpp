#include "bench/DayProfiles.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "bench/DayMinutes.h"
#include "bench/Dice.h"
#include "bench/TimetableGenerator.h"

namespace bench {

namespace {

constexpr int kLastLanding = 23 * 60 + 50;

// ---------------------------------------------------------------- airline

enum class AircraftType { Regional, NarrowBody };

struct Airline {
  std::uint32_t hubs = 0;
  std::uint32_t spokes = 0;
  std::uint32_t farAway = 0;              // long-haul destinations
  std::vector<int> firstBank;             // per hub, minutes
  std::vector<int> bankPeriod;            // per hub, minutes
  std::vector<std::vector<int>> spokeLeg;  // [spoke][hub], minutes

  std::uint32_t Hub(std::size_t k) const { return static_cast<std::uint32_t>(1 + k); }
  std::uint32_t Spoke(std::size_t k) const { return static_cast<std::uint32_t>(1 + hubs + k); }
  std::uint32_t Far(std::size_t k) const {
    return static_cast<std::uint32_t>(1 + hubs + spokes + k);
  }
  bool IsHub(std::uint32_t t) const { return t >= 1 && t <= hubs; }
  bool IsSpoke(std::uint32_t t) const { return t > hubs && t <= hubs + spokes; }
  std::size_t HubIndex(std::uint32_t t) const { return t - 1; }
  std::size_t SpokeIndex(std::uint32_t t) const { return t - 1 - hubs; }
};

Airline MakeAirline(std::size_t passages, Dice& dice) {
  Airline net;
  const double size = static_cast<double>(passages);
  net.hubs = static_cast<std::uint32_t>(std::max(1.0, std::round(std::sqrt(size) / 12.0)));
  net.spokes = static_cast<std::uint32_t>(std::max<std::size_t>(6, passages / 9));
  net.farAway = static_cast<std::uint32_t>(std::max<std::size_t>(2, passages / 150));
  for (std::uint32_t h = 0; h < net.hubs; ++h) {
    net.firstBank.push_back(6 * 60 + 30 + dice.Between(0, 8) * 5);
    net.bankPeriod.push_back(dice.Between(20, 26) * 5);
  }
  for (std::uint32_t s = 0; s < net.spokes; ++s) {
    const int base = dice.Between(8, 36) * 5;
    std::vector<int> legs;
    for (std::uint32_t h = 0; h < net.hubs; ++h)
      legs.push_back(std::max(30, RoundTo(base + dice.Between(-20, 20), 5)));
    net.spokeLeg.push_back(legs);
  }
  return net;
}

// The first departure from hub `h` in the hour after a bank, no earlier
// than `ready`; -1 after the last bank.
int BankDeparture(const Airline& net, std::size_t h, int ready, Dice& dice) {
  for (int bank = net.firstBank[h]; bank <= 23 * 60; bank += net.bankPeriod[h]) {
    const int departure = bank + dice.Between(2, 10) * 5;
    if (departure >= ready) return departure;
  }
  return -1;
}

// A long-haul route flown daily by wide-bodies on a two-day rotation: out
// from the hub around midday, back either by day (the aircraft that came
// out yesterday, so it cannot be the one that goes out today: the bound
// counts a balanced chain at the far end that no decomposition has) or
// overnight, landing at the hub early the next morning.
void FlyLongHaul(const Airline& net, std::size_t far, Dice& dice, std::vector<Passage>& legs) {
  const std::size_t h = dice.Index(net.hubs);
  const int length = RoundTo(dice.Between(480, 720), 5);
  const int out = BankDeparture(net, h, 8 * 60 + dice.Between(0, 36) * 5, dice);
  legs.push_back(MakePassage(net.Hub(h), net.Far(far), out, out + length));
  const int back = dice.Percent(50) ? RoundTo(dice.Between(9 * 60, 13 * 60), 5)
                                    : RoundTo(dice.Between(21 * 60, 23 * 60 + 55), 5);
  legs.push_back(
      MakePassage(net.Far(far), net.Hub(h), back, back + length + dice.Between(-6, 6) * 5));
}

// One aircraft's day, from its base; legs appended to `legs`.
void FlyAircraft(const Airline& net, Dice& dice, std::vector<Passage>& legs) {
  const AircraftType type = dice.Percent(40) ? AircraftType::Regional : AircraftType::NarrowBody;
  const int turn = type == AircraftType::Regional ? 25 : 40;
  const int maxLegs = type == AircraftType::Regional ? 8 : 6;
  const std::uint32_t base =
      dice.Percent(70) ? net.Hub(dice.Index(net.hubs)) : net.Spoke(dice.Index(net.spokes));
  const int endOfDay = 20 * 60 + 30 + dice.Between(0, 30) * 5;
  int ready = 5 * 60 + 30 + dice.Between(0, 30) * 5;
  std::uint32_t at = base;
  std::size_t lastHub = net.IsHub(base) ? net.HubIndex(base) : dice.Index(net.hubs);
  int flown = 0;
  while (flown < maxLegs) {
    std::uint32_t to = 0;
    int departure = 0;
    int length = 0;
    if (net.IsHub(at)) {
      const std::size_t h = net.HubIndex(at);
      departure = BankDeparture(net, h, ready, dice);
      if (departure < 0 || departure > endOfDay + 60) break;
      if (net.hubs > 1 && dice.Percent(12)) {
        std::size_t other = dice.Index(net.hubs);
        if (other == h) other = (other + 1) % net.hubs;
        to = net.Hub(other);
        length = RoundTo(60 + dice.Between(0, 90), 5);
      } else {
        std::size_t s = dice.Index(net.spokes);
        // Regional jets serve the near spokes.
        for (int tries = 0; type == AircraftType::Regional && net.spokeLeg[s][h] > 100 && tries < 8;
             ++tries)
          s = dice.Index(net.spokes);
        to = net.Spoke(s);
        length = net.spokeLeg[s][h];
      }
    } else {
      // Back to a hub, mostly the one it came from, soon after it is ready.
      const std::size_t h = dice.Percent(80) ? lastHub : dice.Index(net.hubs);
      departure = RoundTo(ready + dice.Between(0, 8) * 5, 5);
      if (departure > endOfDay) break;
      to = net.Hub(h);
      length = net.spokeLeg[net.SpokeIndex(at)][h];
    }
    // Short legs land before midnight; only red-eyes and long legs cross it.
    if (departure + length > kLastLanding) break;
    legs.push_back(MakePassage(at, to, departure, departure + length));
    ++flown;
    if (net.IsHub(to)) lastHub = net.HubIndex(to);
    at = to;
    ready = departure + length + turn;
  }
  // Late in the evening: home if it is one leg away, now and then a red-eye.
  if (at != base && ready <= 23 * 60 + 30 && dice.Percent(55)) {
    int length = 0;
    if (net.IsSpoke(at) && net.IsHub(base))
      length = net.spokeLeg[net.SpokeIndex(at)][net.HubIndex(base)];
    else if (net.IsHub(at) && net.IsSpoke(base))
      length = net.spokeLeg[net.SpokeIndex(base)][net.HubIndex(at)];
    const int departure = RoundTo(ready + dice.Between(0, 6) * 5, 5);
    if (length > 0 && departure + length <= kLastLanding) {
      legs.push_back(MakePassage(at, base, departure, departure + length));
      return;
    }
  }
  if (type == AircraftType::NarrowBody && net.IsHub(at) && dice.Percent(3)) {
    const int departure = std::max(ready, 22 * 60 + dice.Between(0, 20) * 5);
    const std::uint32_t to = net.Spoke(dice.Index(net.spokes));
    legs.push_back(MakePassage(at, to, departure, departure + RoundTo(dice.Between(150, 400), 5)));
  }
}

std::vector<Passage> AirlineDay(std::size_t size, Dice& dice) {
  const Airline net = MakeAirline(size, dice);
  std::vector<Passage> legs;
  for (std::size_t far = 0; far < net.farAway; ++far) FlyLongHaul(net, far, dice, legs);
  while (legs.size() < size) FlyAircraft(net, dice, legs);
  return legs;
}

// ---------------------------------------------------------------- rail

struct Line {
  std::uint32_t from = 0;
  std::uint32_t to = 0;
  std::uint32_t shortTurn = 0;  // 0: every train runs the whole line
  int interval = 15;           // minutes between trains of one direction
  int travel = 30;             // minutes end to end
  int firstTrain = 5 * 60;
  int lastTrain = 24 * 60;
};

// Lines between a few stations: half of them start at the central station
// 1, a quarter at a terminus of an earlier line.
Line MakeLine(std::vector<Line>& lines, std::uint32_t& stations, Dice& dice) {
  Line line;
  const int share = dice.Between(0, 99);
  if (share < 50 || lines.empty())
    line.from = 1;
  else if (share < 75)
    line.from = lines[dice.Index(lines.size())].to;
  else
    line.from = ++stations;
  line.to = ++stations;
  static const int kIntervals[] = {10, 12, 15, 20, 30, 60};
  line.interval = kIntervals[dice.Index(6)];
  line.travel = dice.Percent(15) ? RoundTo(dice.Between(120, 240), 5) : dice.Between(18, 80);
  if (dice.Percent(20)) line.shortTurn = ++stations;
  line.firstTrain = 4 * 60 + 45 + dice.Between(0, 45);
  line.lastTrain = 23 * 60 + dice.Between(0, 75);
  return line;
}

void RunLine(const Line& line, Dice& dice, std::vector<Passage>& trips) {
  const int backTravel = line.travel + dice.Between(-3, 3);
  const int offset = dice.Between(0, line.interval - 1);
  int k = 0;
  for (int t = line.firstTrain + offset; t <= line.lastTrain; t += line.interval, ++k) {
    const bool shortTurn = line.shortTurn != 0 && k % 2 == 1;
    const std::uint32_t end = shortTurn ? line.shortTurn : line.to;
    const int travel = shortTurn ? line.travel / 2 : line.travel;
    const int back = shortTurn ? backTravel / 2 : backTravel;
    trips.push_back(MakePassage(line.from, end, t, t + travel));
    const int t2 = t + line.interval / 2;
    trips.push_back(MakePassage(end, line.from, t2, t2 + back));
  }
}

std::vector<Passage> RailDay(std::size_t size, Dice& dice) {
  std::vector<Line> lines;
  std::uint32_t stations = 1;
  std::vector<Passage> trips;
  while (trips.size() < size) {
    lines.push_back(MakeLine(lines, stations, dice));
    RunLine(lines.back(), dice, trips);
  }
  return trips;
}

std::vector<Passage> FullDay(DayProfile profile, std::size_t size, std::uint64_t seed) {
  Dice dice(seed);
  return profile == DayProfile::Airline ? AirlineDay(size, dice) : RailDay(size, dice);
}

std::vector<Passage> InWindow(const std::vector<Passage>& day, const DepartureWindow& window) {
  std::vector<Passage> kept;
  for (const Passage& p : day)
    if (window.Contains(p.departure)) kept.push_back(p);
  return kept;
}

}  // namespace

bool ParseDayProfile(const std::string& name, DayProfile& profile) {
  if (name == "generic") profile = DayProfile::Generic;
  else if (name == "airline") profile = DayProfile::Airline;
  else if (name == "rail") profile = DayProfile::Rail;
  else return false;
  return true;
}

bool DepartureWindow::Contains(double departure) const {
  if (from < to) return departure >= from && departure < to;
  return departure >= from || departure < to;
}

bool ParseDepartureWindow(const std::string& text, DepartureWindow& window) {
  const std::size_t dash = text.find('-');
  if (dash == std::string::npos || dash == 0) return false;
  char* end = nullptr;
  const std::string fromText = text.substr(0, dash);
  const std::string toText = text.substr(dash + 1);
  const double from = std::strtod(fromText.c_str(), &end);
  if (toText.empty() || *end != '\0') return false;
  const double to = std::strtod(toText.c_str(), &end);
  if (*end != '\0') return false;
  if (!(from >= 0.0 && from <= 24.0 && to >= 0.0 && to <= 24.0) || from == to) return false;
  window.from = from;
  window.to = to;
  return true;
}

std::vector<Passage> GenerateProfileDay(DayProfile profile, std::size_t passages,
                                        std::uint64_t seed, const DepartureWindow& window,
                                        std::size_t terminals, const DayMix& mix) {
  // The generic day as it is, numbers included, less what leaves outside
  // the window.
  if (profile == DayProfile::Generic)
    return InWindow(GeneratePassages(passages, seed, terminals, mix), window);
  // A larger whole day until the window holds enough, then drop passages at
  // random down to the size asked for (cancellations, in effect).
  std::vector<Passage> day = InWindow(FullDay(profile, passages, seed), window);
  std::size_t size = passages;
  for (int tries = 0; day.size() < passages && !day.empty() && tries < 30; ++tries) {
    size = size * passages / day.size() + 1;
    day = InWindow(FullDay(profile, size, seed), window);
  }
  Dice dice(seed ^ 0x9e3779b97f4a7c15ULL);
  while (day.size() > passages) {
    const std::size_t drop = dice.Index(day.size());
    day[drop] = day.back();
    day.pop_back();
  }
  Dice order(seed + 1);
  NumberInShuffledOrder(day, order.Engine());
  return day;
}

}  // namespace bench
