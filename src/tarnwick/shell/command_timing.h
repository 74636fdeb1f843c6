#pragma once
// cCt: counts the items a command processes and times it with the performance counter, for a
// one-line throughput report:
//   "Cmd: <Cmd> in: <count> items, rpt: <Recap> rps: <rate> time: <seconds> sec"

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick {

class cCt {
 public:
  // Seconds on a monotonic clock. The default reads the performance counter; a host without one
  // (frequency 0) reads 0. Tests hand in their own clock.
  using Clock = double (*)();

  cCt();
  explicit cCt(Clock clock);

  // The item count. Reading it also sets Recap to "Res" and Cmd to "UK".
  std::int32_t rows();
  // Count 0, start time now.
  void init();
  // The timing line; elapsed times under 0.1 second count as 0.1.
  std::string Report();
  // Adds one to the count; past the 32-bit range it is the overflow error.
  void Item();
  // Text shown after "rpt: ".
  void Recap(std::string_view text);
  // Text shown after "Cmd: ".
  void Cmd(std::string_view text);

 private:
  double Now() const;

  Clock clock_ = nullptr;
  std::int64_t frequency_ = 0;  // asked once
  std::int32_t count_ = 0;
  double start_ = 0.0;
  double end_ = 0.0;
  double elapsed_ = 0.0;
  std::string cmd_;
  std::string recap_;
};

}  // namespace tarnwick
